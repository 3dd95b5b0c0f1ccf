#include "test_renderer.h"

#include "host/bake_properties.h"
#include "host/text.h"

TestRenderer::TestRenderer(StandaloneCore& core) : core_(core) {
    core.scripts().SetGlobal("render", ScriptFunction([this](const ScriptArgs& a) {
                                 const ScriptValue* type = a.Keyword("rendertype");
                                 const ScriptValue* frame = a.Keyword("frame");
                                 if (type == nullptr || type->AsName().text != "bakeselected" ||
                                     frame == nullptr || a.Keyword("to") == nullptr) {
                                     throw ScriptError("-- test renderer: unexpected arguments");
                                 }
                                 Render(frame->AsInt());
                                 return ScriptValue(true);
                             }));
}

BMM_Color_64 TestRenderer::ColourOf(INode* node) {
    const WORD h = static_cast<WORD>(node->GetHandle());
    return {static_cast<WORD>(1000 * h), static_cast<WORD>(2000 + h), static_cast<WORD>(300 * h),
            65535};
}

PixelRect TestRenderer::RectOf(INode* node, int w, int h) {
    const int column = static_cast<int>(node->GetHandle() % 4);
    return {column * w / 4, 0, (column + 1) * w / 4, h / 2};
}

void TestRenderer::Render(int frame) {
    RenderCall call;
    call.frame = frame;
    call.time = core_.GetTime();
    call.selectionFrozen = core_.SelectionFrozen() != 0;
    for (int i = 0; i < core_.GetSelNodeCount(); ++i) {
        call.selected.push_back(WideToUtf8(core_.GetSelNode(i)->GetName()));
    }
    calls.push_back(call);
    if (failOnCall == static_cast<int>(calls.size())) {
        throw ScriptError("-- Runtime error: the renderer gave up");
    }
    for (int i = 0; i < core_.GetSelNodeCount(); ++i) {
        INode* node = core_.GetSelNode(i);
        auto* props =
            static_cast<INodeBakeProperties*>(node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE));
        if (props == nullptr || props->GetBakeEnabled() == 0) {
            continue;
        }
        for (int e = 0; e < props->GetBakeElementCount(); ++e) {
            MaxBakeElement* element = props->GetBakeElement(e);
            if (element->IsEnabled() == 0) {
                continue;
            }
            int w = 0, h = 0;
            element->GetOutputSz(w, h);
            BitmapInfo info;
            info.SetName(element->FileType());
            info.SetWidth(w);
            info.SetHeight(h);
            Bitmap* bm = core_.Create(&info);
            if (bm == nullptr) {
                throw ScriptError("-- test renderer: bad output size");
            }
            const PixelRect r = RectOf(node, w, h);
            const BMM_Color_64 colour = ColourOf(node);
            for (int y = r.y0; y < r.y1; ++y) {
                for (int x = r.x0; x < r.x1; ++x) {
                    bm->PutPixels(x, y, 1, &colour);
                }
            }
            const bool ok = bm->OpenOutput(&info) == BMMRES_SUCCESS &&
                            bm->Write(&info) == BMMRES_SUCCESS &&
                            bm->Close(&info) == BMMRES_SUCCESS;
            bm->DeleteThis();
            if (!ok) {
                throw ScriptError("-- test renderer: cannot write " +
                                  WideToUtf8(element->FileType()));
            }
            calls.back().written.push_back(WideToUtf8(element->FileType()));
            calls.back().elementNames.push_back(WideToUtf8(element->FileName()));
        }
    }
}
