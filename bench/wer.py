#!/usr/bin/env python3
"""Word error rate of a transcript against the text that was spoken.

Usage: wer.py [--aligned] REFERENCE_FILE HYPOTHESIS_FILE. Numbers, times and signs in the
reference are written out as a speaker says them, so that only the voice is judged. --aligned
prints the reference as well, with each error as [said/heard].
"""
import re
import sys

ONES = "zero one two three four five six seven eight nine ten eleven twelve thirteen fourteen " \
       "fifteen sixteen seventeen eighteen nineteen".split()
TENS = "_ _ twenty thirty forty fifty sixty seventy eighty ninety".split()


def number(n):
    if n < 20:
        return ONES[n]
    if n < 100:
        return TENS[n // 10] + ("" if n % 10 == 0 else " " + ONES[n % 10])
    if n < 1000:
        rest = n % 100
        return ONES[n // 100] + " hundred" + ("" if rest == 0 else " " + number(rest))
    return " ".join(ONES[int(d)] for d in str(n))


def words(text, spoken_form):
    text = text.lower()
    if spoken_form:
        text = text.replace("%", " percent ")
        text = re.sub(r"\b(\d+):(\d\d)\b",
                      lambda m: number(int(m.group(1))) + " " +
                      ("o " + ONES[int(m.group(2))] if m.group(2).startswith("0") and m.group(2) != "00"
                       else "" if m.group(2) == "00" else number(int(m.group(2)))), text)
        text = re.sub(r"\b(\d+)\.(\d+)\b", lambda m: number(int(m.group(1))) + " point " +
                      " ".join(ONES[int(d)] for d in m.group(2)), text)
        text = re.sub(r"\d+", lambda m: " " + number(int(m.group(0))) + " ", text)
        text = re.sub(r"\b([ap])\.?m\b\.?", r"\1 m", text)
    text = text.replace("a.m.", "a m").replace("p.m.", "p m")
    text = re.sub(r"[^a-z' ]+", " ", text)
    # One spelling for what sounds the same, on both sides: the recogniser's dictionary writes
    # "am" and "pm" as one word, and "o" and "oh" alike.
    text = re.sub(r"\b([ap]) m\b", r"\1m", text)
    spelling = {"o": "oh"}
    return [spelling.get(w, w) for w in text.split() if w != "'"]


def distance(ref, hyp):
    """The edit table: cell [i][j] holds the edits from ref[:i] to hyp[:j]."""
    table = [list(range(len(hyp) + 1))]
    for i, r in enumerate(ref, 1):
        current = [i]
        for j, h in enumerate(hyp, 1):
            current.append(min(table[-1][j] + 1, current[j - 1] + 1, table[-1][j - 1] + (r != h)))
        table.append(current)
    return table


def aligned(ref, hyp, table):
    i, j, out = len(ref), len(hyp), []
    while i or j:
        if i and j and table[i][j] == table[i - 1][j - 1] + (ref[i - 1] != hyp[j - 1]):
            i, j = i - 1, j - 1
            out.append(ref[i] if ref[i] == hyp[j] else "[%s/%s]" % (ref[i], hyp[j]))
        elif i and table[i][j] == table[i - 1][j] + 1:
            i -= 1
            out.append("[%s/-]" % ref[i])
        else:
            j -= 1
            out.append("[-/%s]" % hyp[j])
    return " ".join(reversed(out))


def main():
    args = [a for a in sys.argv[1:] if a != "--aligned"]
    ref = words(open(args[0]).read(), True)
    hyp = words(open(args[1]).read(), False)
    table = distance(ref, hyp)
    print("%.1f" % (100.0 * table[-1][-1] / max(1, len(ref))))
    if "--aligned" in sys.argv:
        print(aligned(ref, hyp, table))


if __name__ == "__main__":
    main()
