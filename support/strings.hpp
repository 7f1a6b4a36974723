#pragma once

namespace brintom {

// Heap strings: NUL-terminated, zero-filled calloc blocks that the caller releases with
// std::free. Arguments are only read.

char* new_string(int n);  // room for n characters and the terminator
char* copy(const char* s);
char* cat(const char* a, const char* b);
char* cat2(const char* a, const char* b, const char* c);
char* cat3(const char* a, const char* b, const char* c, const char* d);

// 1 when a and b are equal byte for byte, 0 otherwise: the opposite sense of strcmp.
int strcomp(const char* a, const char* b);
// 1 when a equals b or equals the capitals of b (so "CS" matches "ColumnSpacing").
int strcp(const char* a, const char* b);
// The capitals A-Z of s, in order; every other byte dropped.
char* upper_string(const char* s);
int isup(int code);
int is_all_upper(const char* s);  // 1 for the empty string too

// A brace list is a text whose first byte is '{' and whose last byte is '}'.
int islist(const char* s);
char* list_to_token(const char* s);  // s without its outer braces; s must hold two bytes
char* token_to_list(const char* s);  // "{" + s + "}"

}  // namespace brintom
