// Folders.cfg and Subst.cfg readers: decoding, line ends, NUL, trimming, the
// split at the first ";" and the 300-character path field. What a save writes
// must read back to the same rows, so a second save writes the same bytes.
#include "common/failure.h"
#include "lookup/searchfolderlist.h"
#include "lookup/substitutiontable.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template<typename List>
void roundTrip(QByteArrayView input)
{
    List first;
    first.applyFileBytes(input);
    if (first.rowCount() < 1)
        std::abort();
    QByteArray written;
    try {
        written = first.fileBytes();
    } catch (const lintaro::Failure &) {
        return; // a text the code page cannot carry (a UTF-8 file): refused, nothing written
    }
    List second;
    second.applyFileBytes(written);
    if (second.fileBytes() != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    roundTrip<lintaro::SearchFolderList>(input);
    roundTrip<lintaro::SubstitutionTable>(input);
    return 0;
}
