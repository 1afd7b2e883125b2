#include "report/GetAttrValue.h"

#include <vector>

namespace {

// First occurrence of key in text, or -1. Linear in both (Knuth-Morris-Pratt): QString::indexOf
// and the standard searchers take minutes on a long key made of near misses.
qsizetype find(QStringView text, QStringView key) {
    if (key.isEmpty())
        return 0;
    // border[i]: length of the longest proper prefix of key[0..i] that is also its suffix.
    std::vector<qsizetype> border(static_cast<std::size_t>(key.size()), 0);
    const auto borderAt = [&border](qsizetype i) { return border[static_cast<std::size_t>(i)]; };
    for (qsizetype i = 1, k = 0; i < key.size(); ++i) {
        while (k > 0 && key[i] != key[k])
            k = borderAt(k - 1);
        if (key[i] == key[k])
            ++k;
        border[static_cast<std::size_t>(i)] = k;
    }
    for (qsizetype i = 0, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != key[k])
            k = borderAt(k - 1);
        if (text[i] == key[k] && ++k == key.size())
            return i - k + 1;
    }
    return -1;
}

} // namespace

QString GetAttrValue(QString document, QString key) {
    // The value starts one character past the key, skipping the opening quote unseen. An absent key
    // counts as found "before" the document, so the value is read from just past the key's length;
    // the report relies on the fragment this yields to notice missing values.
    const qsizetype found = find(document, key);
    const qsizetype start = (found < 0 ? 0 : found + 1) + key.size();
    if (start >= document.size())
        return {};
    const qsizetype quote = document.indexOf(u'"', start);
    if (quote < 0)
        return {};
    return document.sliced(start, quote - start);
}
