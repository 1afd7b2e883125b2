#!/usr/bin/env python3
"""Word error rate of a transcript against the text that was spoken.

Usage: wer.py REFERENCE_FILE HYPOTHESIS_FILE. Numbers, times and signs in the reference are
written out as a speaker says them, so that only the voice is judged.
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
    return [w for w in text.split() if w not in ("'",)]


def distance(ref, hyp):
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i]
        for j, h in enumerate(hyp, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h)))
        previous = current
    return previous[-1]


def main():
    ref = words(open(sys.argv[1]).read(), True)
    hyp = words(open(sys.argv[2]).read(), False)
    print("%.1f" % (100.0 * distance(ref, hyp) / max(1, len(ref))))


if __name__ == "__main__":
    main()
