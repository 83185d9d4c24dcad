// Runs renderer operations against two in-memory streams and returns what each received.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "render/render.h"

struct t_captured {
    std::string out;
    std::string err;
};

class t_memstream {
public:
    t_memstream() : m_file(open_memstream(&m_buf, &m_size)) {}
    ~t_memstream()
    {
        if (m_file) fclose(m_file);
        free(m_buf);
    }
    t_memstream(const t_memstream&) = delete;
    t_memstream& operator=(const t_memstream&) = delete;

    FILE* file() const { return m_file; }
    std::string text()
    {
        fflush(m_file);
        return std::string(m_buf, m_size);
    }

private:
    char* m_buf = nullptr;
    size_t m_size = 0;
    FILE* m_file;
};

// The renderer of `selector` with distinct output and error streams.
inline t_captured render_capture(int selector, const std::function<void(t_render&)>& ops)
{
    std::unique_ptr<t_render> r(kst_newrender(selector));
    t_memstream out, err;
    r->setstreams(out.file(), err.file());
    ops(*r);
    return {out.text(), err.text()};
}

// What a free function writes on a stream.
inline std::string stream_capture(const std::function<void(FILE*)>& write)
{
    t_memstream out;
    write(out.file());
    return out.text();
}
