#include "report/GetAttrValue.h"

#include <QList>

#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Keys up to this length take the fast scan; its cost per candidate grows with the key length.
constexpr qsizetype shortKeyLength = 32;

bool sameChars(const char16_t* a, const char16_t* b, qsizetype count) {
    return count <= 0 || std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(char16_t)) == 0;
}

// First occurrence of a short key. A report makes a dozen searches through the whole document,
// and a general search spends most of its time on candidates that a compare of the key's first
// and last characters, eight positions at a time, rules out.
qsizetype findShortKey(QStringView document, QStringView key) {
    const char16_t* text = document.utf16();
    const char16_t* k = key.utf16();
    const qsizetype n = document.size();
    const qsizetype m = key.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi16(static_cast<short>(k[0]));
    const __m128i last = _mm_set1_epi16(static_cast<short>(k[m - 1]));
    for (; i + m - 1 + 8 <= n; i += 8) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + m - 1));
        // Two mask bits per character position.
        auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(starts, first), _mm_cmpeq_epi16(ends, last))));
        while (candidates != 0) {
            const int bit = __builtin_ctz(candidates);
            const qsizetype at = i + bit / 2;
            if (sameChars(text + at + 1, k + 1, m - 2))
                return at;
            candidates &= ~(3U << bit);
        }
    }
#endif
    for (; i + m <= n; ++i) {
        if (text[i] == k[0] && text[i + m - 1] == k[m - 1] && sameChars(text + i + 1, k + 1, m - 2))
            return i;
    }
    return -1;
}

// Knuth-Morris-Pratt: linear in document and key, whatever the key, where comparing candidates
// could cost document length times key length.
qsizetype findLongKey(QStringView document, QStringView key) {
    const qsizetype m = key.size();
    // border[i]: length of the longest proper prefix of key[0..i] that is also its suffix.
    QList<qsizetype> border(m, 0);
    for (qsizetype i = 1, k = 0; i < m; ++i) {
        while (k > 0 && key[i] != key[k])
            k = border[k - 1];
        if (key[i] == key[k])
            ++k;
        border[i] = k;
    }
    for (qsizetype i = 0, k = 0; i < document.size(); ++i) {
        while (k > 0 && document[i] != key[k])
            k = border[k - 1];
        if (document[i] == key[k])
            ++k;
        if (k == m)
            return i - m + 1;
    }
    return -1;
}

qsizetype findKey(QStringView document, QStringView key) {
    if (key.isEmpty())
        return 0;
    if (key.size() > document.size())
        return -1;
    return key.size() <= shortKeyLength ? findShortKey(document, key) : findLongKey(document, key);
}

} // namespace

QString GetAttrValue(QString document, QString key) {
    // The value starts one character past the key, skipping the opening quote unseen. An absent key
    // counts as found "before" the document, so the value is read from just past the key's length;
    // the report relies on the fragment this yields to notice missing values.
    try {
        const qsizetype found = findKey(document, key);
        const qsizetype start = (found < 0 ? 0 : found + 1) + key.size();
        if (start >= document.size())
            return {};

        const QStringView rest = QStringView(document).sliced(start);
        const qsizetype quote = rest.indexOf(u'"');
        if (quote < 0)
            return {};
        return rest.first(quote).toString();
    } catch (const std::bad_alloc&) {
        // A long key's search table or a huge value may not fit; callers treat empty as missing.
        return {};
    }
}
