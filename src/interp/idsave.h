// Identifier files: a value written to a file and read back in a later run, in a binary form
// (name + ".kst") or a text form (name + ".ksF"). Every file starts with the common header; the
// body is the value class's own.
//
// Binary header: string record ":006" (a uint64 length L = characters + 1, then the characters
// and a zero byte), uint8 class code, string record with the identifier's name, string record
// with the caller's message. Text header: ":003", the name, the class name, the message with its
// newlines made spaces ("emptymessage" when empty), one line each.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "coef/coef.h"

class t_cctx;
class t_idcommon;

// Class codes of the binary header.
enum t_saveclass : uint8_t {
    SAVECLASS_SERIES = 1,
    SAVECLASS_CONSTANT = 2,
    SAVECLASS_STRING = 3,
    SAVECLASS_ARRAY = 7,
    SAVECLASS_VECNUM = 9,
};

// The body writers and readers of one value class (type code of Vgettypeenum). A writer returns
// false when it could not write (the caller reports); a reader returns null after reporting.
struct t_idstorage {
    uint8_t classcode = 0;
    const char* classname = nullptr;   // the text header's class line
    bool (*save)(t_cctx*, const t_idcommon* value, FILE* f, const std::string& path) = nullptr;
    t_idcommon* (*load)(t_cctx*, FILE* f, const char* name, const std::string& path) = nullptr;
    bool (*saveF)(t_cctx*, const t_idcommon* value, FILE* f, const std::string& path) = nullptr;
    t_idcommon* (*loadF)(t_cctx*, FILE* f, const char* name, const std::string& path) = nullptr;
};
void kst_idstorage_register(int typeenum, const t_idstorage& storage);
// True when the value's class can be stored.
bool kst_idstorage_cansave(const t_idcommon* value);
// Constants and strings (start-up).
void kst_idstorage_registercore();

// The file of `value`: `file` when given (without its extension), else the context's path
// followed by the value's name. `path` given to the body functions is the file's directory
// (ending with "/", or empty), where a value kept in several files (an array) puts the others.
// Errors: 248 name too long, 249 header not written, 338 body not written, 23 a class that cannot
// be stored.
bool saveidentificateur(t_cctx* ctx, const t_idcommon* value, const char* file, const char* message);
bool saveidentificateurF(t_cctx* ctx, const t_idcommon* value, const char* file, const char* message);
// The value stored in `file` (without its extension, looked up in the context's path when
// `usepath`), named `name`. Errors: 250 unreadable header, 251 obsolete version, 252 unknown
// version, 330 a body that does not load.
t_idcommon* loadidentificateur(t_cctx* ctx, const char* file, const char* name, bool usepath);
t_idcommon* loadidentificateurF(t_cctx* ctx, const char* file, const char* name, bool usepath);

// Numbers in the text form: "%2d  " with the kind tag, then the number in its text form when the
// kind has one, else "    #" and the hexadecimal bytes of its binary form; then a newline.
bool kst_savecoefF(const coef* c, FILE* f);
bool kst_loadcoefF(t_cctx* ctx, coef* c, FILE* f);
