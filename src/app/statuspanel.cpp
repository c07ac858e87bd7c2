#include "statuspanel.h"

#include <QPainter>

namespace lintaro {

StatusPanel::StatusPanel(Painter painter, QWidget *parent) : QWidget(parent), m_painter(std::move(painter))
{
    setFixedHeight(19);
}

void StatusPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_painter(painter, rect());
}

} // namespace lintaro
