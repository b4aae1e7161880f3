#!/usr/bin/python3
"""The demo user's documents: files with Korean names and reproducible contents, a folder of three,
and a video too large for the mail (sparse, so it costs no disk).

usage: make_files.py FOLDER"""
import random
import sys
from pathlib import Path

# name -> size in bytes; None marks the text files, written as text.
FILES = {
    "견적서_2026.xlsx": 183_412,
    "회의록 12월.hwp": 96_256,
    "photo_0412.jpg": 4_719_109,
    "프로젝트 자료/설계도.pdf": 1_250_000,
    "프로젝트 자료/일정표.txt": None,
    "프로젝트 자료/참고 링크.txt": None,
}
TEXTS = {
    "프로젝트 자료/일정표.txt": "12월 일정\r\n- 8일: 설계 검토\r\n- 15일: 시제품 시험\r\n- 22일: 고객 보고\r\n",
    "프로젝트 자료/참고 링크.txt": "https://docs.example.co.kr/project/2026\r\n",
}
TOO_LARGE = ("발표영상.mp4", 7_500_000)


def main() -> None:
    folder = Path(sys.argv[1])
    rng = random.Random(20261207)
    for name, size in FILES.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        if size is None:
            # The user's own text files are in the Windows code page.
            path.write_bytes(TEXTS[name].encode("cp949"))
        else:
            path.write_bytes(rng.randbytes(size))
    video = folder / TOO_LARGE[0]
    with video.open("wb") as f:
        f.truncate(TOO_LARGE[1])


if __name__ == "__main__":
    main()
