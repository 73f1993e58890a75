#pragma once
// Pinyin initials of U+4E00..U+9FA5, one upper-case letter per code point,
// as 210 chunks (209 of 100 letters, then "XY"). Generated source:
// tools/pinyin/gen_pinyin.py.

extern const char *const kPinyinInitialChunks[];
extern const int kPinyinInitialChunkCount;
