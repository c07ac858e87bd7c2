#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace lintaro {

class Interaction;
class ListingCache;
class SearchFolderModel;
class SubstitutionModel;

// Turns a Source cell into the path of a clip file: a clip code in brackets by
// the bracket search over the search folders, any other text by the
// substitution lookup. It reads both lists as they are at the moment of the
// call and keeps nothing between calls. Quiet mode shows nothing, asks nothing
// and changes nothing.
class ClipResolver
{
public:
    // The text after the first ")" may not be further than this from the first "(".
    static constexpr int CodeSearchLength = 300;
    static constexpr int ShownCandidates = 10;

    ClipResolver(const SearchFolderModel &folders, SubstitutionModel &substitutions, Interaction &interaction);

    // The text between the first "(" and the first ")" within the 300
    // characters after it, untrimmed; nothing when the cell has no clip code.
    // A pair holding only an age mark is passed over: the next "(" after it
    // starts the code, by the same rule.
    static std::optional<QString> clipCode(QStringView cell);
    // "16+", "( 0 + )": the age marks 0, 6, 12, 16 and 18 that titles carry.
    static bool isAgeMark(QStringView inside);

    // The code the check and the conversion search for: clipCode() without its
    // leading and trailing blanks and control characters, so that a cell the
    // check calls ready is found by the conversion too.
    static std::optional<QString> searchedCode(QStringView cell);

    // The clip types the bracket search tries, in order; "avi" alone unless set.
    void setClipTypes(const QStringList &types);
    const QStringList &clipTypes() const { return m_types; }

    // Files CODE*.TYPE in every search folder, for the first clip type, then
    // the next only when a type found no candidate at all. The path when
    // exactly one candidate is found, or the first exact CODE.TYPE (any letter
    // case) among several; nothing otherwise, with a message about several
    // candidates unless quiet. A run passes its cache to reuse folder listings.
    std::optional<QString> bracketSearch(const QString &code, bool quiet, ListingCache *cache = nullptr) const;

    // Every file CODE*.TYPE of the search folders whose name begins with the
    // code exactly, in search order, for the first clip type that has any:
    // the bracket search's candidates. An empty (trimmed) code has none.
    struct Candidate
    {
        QString folder; // the folder text and a separator
        QString name;
        QString type; // the clip type it was found as
        QString path() const { return folder + name; }
    };
    QList<Candidate> bracketCandidates(const QString &code, ListingCache *cache = nullptr) const;
    // The bracket search's choice among its candidates, quietly: nothing when
    // there are none, or several and none is CODE.TYPE in any letter case.
    static std::optional<QString> chooseCandidate(const QString &code, const QList<Candidate> &candidates);

    // The path of the first pair whose name equals name exactly. Unless quiet,
    // a missing name asks for the file; the answer is appended to the table
    // and saved at once (a failed save throws Failure). Nothing on cancel,
    // and nothing for the empty name, which is never asked for.
    std::optional<QString> substitutionLookup(const QString &name, bool quiet) const;

    static QString errorCaption();

    // How many messages and prompts this resolver has shown: a run validates
    // its folders again after each, as the operator may have changed them.
    int questionsAsked() const { return m_questionsAsked; }

    // The search folders that cannot be listed now (missing, not a folder, no
    // right to read), each once, in list order. An empty row is no folder.
    QStringList unavailableFolders() const;
    // "Директория поиска недоступна: PATH", and the conversion's question.
    static QString unavailableText(const QString &folder);
    static QString unavailableQuestion(const QString &folder);

private:
    const SearchFolderModel &m_folders;
    SubstitutionModel &m_substitutions;
    Interaction &m_interaction;
    QStringList m_types;
    mutable int m_questionsAsked = 0;
};

} // namespace lintaro
