// Formatted messages: the C-style format cut into pieces (one conversion each), the conversion of
// a piece, and the formatting of values to a stream, a string or an open file (msg, str,
// file_writemsg), with the file objects of the language.
#pragma once
#include <atomic>
#include "interp/idcommon.h"
#include "interp/roomapi.h"

#include <cstdio>
#include <string>
#include <vector>

class t_cctx;

// The conversion of one piece: sign flag ("+-" 3, "+" 1, "-" 2, none 0), width (-1 when absent or
// 0), precision (-1 when absent), letter (e/E -> 'E', g/G -> 'G', f/F -> 'F'; 0 when none).
struct t_msgfmtspec {
    int sign = 0;
    int width = -1;
    int precision = -1;
    char conversion = 0;
};
t_msgfmtspec msgfmt_extractfmt(const char* piece);
// The format splitter and the printing of texts and doubles that rooms share with msg (the width
// bound, msgfmt_checkwidths, msgfmt_printtext, msgfmt_double): interp/roomapi.h.

// Formats `args` with `format` onto `stream`; errors 468 (missing argument) and 429 (argument
// `position` cannot print, named after `caller`). Leftover arguments are ignored.
void msgfmt_an(t_cctx* ctx, FILE* stream, const char* format, const std::vector<const t_idcommon*>& args,
               const char* caller);
void msgfmt_stdout(t_cctx* ctx, const char* format, const std::vector<const t_idcommon*>& args,
                   const char* caller);
std::string msgfmt_string(t_cctx* ctx, const char* format, const std::vector<const t_idcommon*>& args,
                          const char* caller);

// ---------------------------------------------------------------- file objects

// One open file shared by every copy of a file object.
struct t_sharedfileio {
    enum status { reading = 0, writing = 1, closed = 2 };
    std::atomic<int> links{1};   // copies made by parallel tasks come and go on several threads
    FILE* stream = nullptr;
    std::string name;
    int state = closed;
    const char* getStatusname() const;
};

class t_fileio final : public t_idcommon {
public:
    enum mode { mode_read, mode_write, mode_append };
    // Opens `name`; error 254 with the name and the system's text and null on failure.
    static t_fileio* open(t_cctx* ctx, const char* name, mode m);
    t_fileio(const t_fileio& other);
    ~t_fileio() override;

    int Vgettypeenum() const override { return IDTYPE_FILEIO; }
    const char* Vgettypename() const override { return "fichier"; }
    t_idcommon* Vcopy() const override { return new t_fileio(*this); }
    bool Viscopiable() const override { return true; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;

    bool close(t_cctx* ctx);                 // error 70 when already closed
    // The stream to write messages to; errors 491 (open for reading) and 72 (closed).
    FILE* writestream(t_cctx* ctx) const;
    // The stream to read from; errors 492 (open for writing) and 72 (closed).
    FILE* readstream(t_cctx* ctx) const;
    int status() const { return m_shared->state; }
    const std::string& filename() const { return m_shared->name; }

private:
    explicit t_fileio(t_sharedfileio* shared) : m_shared(shared) {}
    t_sharedfileio* m_shared;
};

// The file object held by a value; error 66 when it holds none.
t_fileio* filerw_file(t_cctx* ctx, const t_idcommon* value);
bool filerw_msgfmt(t_cctx* ctx, t_idcommon* file, const char* format, const std::vector<const t_idcommon*>& args);
bool filerw_close(t_cctx* ctx, t_idcommon* file);
