#pragma once

#include <QWidget>

#include <functional>

namespace lintaro {

// The status bar's single owner-drawn panel; its owner paints it.
class StatusPanel : public QWidget
{
    Q_OBJECT

public:
    using Painter = std::function<void(QPainter &, const QRect &)>;

    StatusPanel(Painter painter, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Painter m_painter;
};

} // namespace lintaro
