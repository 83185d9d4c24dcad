// The renderer held by an evaluation context: installing, replacing, binding streams, copying.
#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>

#include "capture.h"
#include "interp/cctx.h"
#include "render/renderdialects.h"

namespace {

TEST(RenderContext, SetrenderReplacesTheContextRenderer)
{
    t_cctx ctx;
    struct {
        int selector;
        int kind;
    } const cases[] = {{2, 2}, {3, 1}, {4, 4}, {1, 0}, {0, 0}, {5, 0}, {-1, 0}};
    for (const auto& c : cases) {
        kst_setrender(&ctx, c.selector);
        ASSERT_NE(ctx.getrender(), nullptr);
        EXPECT_EQ(ctx.getrender()->getkind(), c.kind) << "selector " << c.selector;
    }
}

TEST(RenderContext, NullContextMeansTheCallingThreadContext)
{
    t_cctx* local = t_cctx::getLocalCctx();
    kst_setrender(nullptr, 2);
    EXPECT_EQ(local->getrender()->getkind(), 2);
    kst_setrender(nullptr, 0);
    EXPECT_EQ(local->getrender()->getkind(), 0);
}

// Error display binds one stream to both sides: the MathML marker then lands next to the text.
TEST(RenderContext, GetrenderBindsBothStreams)
{
    t_cctx ctx;
    kst_setrender(&ctx, 3);
    t_memstream mem;
    t_render* r = kst_cctx_getrender(&ctx, mem.file());
    ASSERT_EQ(r, ctx.getrender());
    EXPECT_EQ(r->getstdout(), mem.file());
    EXPECT_EQ(r->getstderr(), mem.file());
    r->writebeginE();
    r->Vvar("a");
    r->writeendE();
    EXPECT_EQ(mem.text(), "\n\a\b\n<merror><mtext><mi>a</mi></mtext></merror>\n\a\b\n");
}

// A copy made for a task must write exactly what its model writes.
TEST(RenderContext, NewrenderLikeKeepsTheDialect)
{
    auto sample = [](t_render& r) {
        r.writebeginE();
        r.Vvar1n("a_b", 2);
        r.writenewline();
        r.writeendE();
    };
    for (int sel = 0; sel <= 4; sel++) {
        std::unique_ptr<t_render> model(kst_newrender(sel));
        std::unique_ptr<t_render> copy(kst_newrender_like(model.get()));
        EXPECT_EQ(typeid(*copy), typeid(*model)) << "selector " << sel;
        EXPECT_EQ(copy->getkind(), model->getkind()) << "selector " << sel;
        t_memstream a, b;
        model->setstreams(a.file(), a.file());
        copy->setstreams(b.file(), b.file());
        sample(*model);
        sample(*copy);
        EXPECT_EQ(a.text(), b.text()) << "selector " << sel;
    }
    std::unique_ptr<t_render> none(kst_newrender_like(nullptr));
    EXPECT_EQ(typeid(*none), typeid(t_renderstd));
}

} // namespace
