#!/usr/bin/env python3
"""Writes the fixed benchmark corpus of the LHA codec into a folder:
text.txt (English-like text), sjis.txt (Japanese text in Shift-JIS), binary.bin
(machine code: the system's own programs, concatenated) and random.bin. Each is
about SIZE bytes; the text files are generated from a fixed seed."""
import os
import random
import sys

out = sys.argv[1] if len(sys.argv) > 1 else "corpus"
size = int(sys.argv[2]) if len(sys.argv) > 2 else 4 * 1024 * 1024
os.makedirs(out, exist_ok=True)

rng = random.Random(20240601)
english = ("the of and to in is was for on that with by as at from his her which an be this "
           "trademark gazette registration application class goods services number date "
           "applicant agent examiner office publication opposition renewal transfer licence "
           "computer software program electronic apparatus instruments clothing beverages").split()
def sentence(words, sep, end):
    n = rng.randint(6, 18)
    return sep.join(rng.choice(words) for _ in range(n)) + end

with open(os.path.join(out, "text.txt"), "w", newline="") as f:
    n = 0
    while n < size:
        line = sentence(english, " ", ".\r\n").capitalize()
        if rng.random() < 0.1:
            line = "No. %07d  %04d-%02d-%02d  class %02d\r\n" % (
                rng.randint(1, 9999999), rng.randint(1990, 2024), rng.randint(1, 12),
                rng.randint(1, 28), rng.randint(1, 45))
        f.write(line)
        n += len(line)

japanese = ("商標 公報 登録 出願 番号 指定 商品 役務 区分 第 類 日 年 月 権利者 代理人 審査 "
            "異議 申立 更新 移転 電子 計算機 用 プログラム 被服 飲料 株式会社 東京都 大阪府 "
            "の に は を が と で も から まで する した される ソフトウェア サービス ｶﾀｶﾅ").split()
with open(os.path.join(out, "sjis.txt"), "wb") as f:
    n = 0
    while n < size:
        line = sentence(japanese, "", "。\r\n")
        if rng.random() < 0.15:
            line = "登録第%07d号（%04d年%02d月%02d日）第%02d類\r\n" % (
                rng.randint(1, 9999999), rng.randint(1990, 2024), rng.randint(1, 12),
                rng.randint(1, 28), rng.randint(1, 45))
        b = line.encode("cp932")
        f.write(b)
        n += len(b)

with open(os.path.join(out, "binary.bin"), "wb") as f:
    n = 0
    for name in sorted(os.listdir("/usr/bin")):
        p = os.path.join("/usr/bin", name)
        if n >= size or not os.path.isfile(p) or os.path.islink(p):
            continue
        with open(p, "rb") as g:
            head = g.read(4)
            if head != b"\x7fELF":
                continue
            data = head + g.read()
        data = data[: size - n]
        f.write(data)
        n += len(data)

with open(os.path.join(out, "random.bin"), "wb") as f:
    f.write(random.Random(7).randbytes(size))
