#include "intake/drop_target.h"

#include "base/control_numbers.h"
#include "base/event_queue.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "intake/list_window.h"
#include "support/file_drag_source.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::wstring>;

constexpr DWORD kAllEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The events posted so far, taken from the queue. The data of each list or
// window drop is handled into `list` at once, while it is still valid.
struct Taken {
    std::vector<EventKind> kinds;
    std::vector<int> sources;
};

Taken TakeAll(HWND list = nullptr, HWND filter = nullptr)
{
    Taken taken;
    for (EventKind kind; (kind = TakeEvent()) != EventKind::None;) {
        taken.kinds.push_back(kind);
        taken.sources.push_back(CurrentEventSource());
        if (list && (kind == EventKind::ListDrop || kind == EventKind::WindowDrop))
            HandleListDrop(CurrentEventData(), list, filter);
    }
    return taken;
}

// How many pixels of the top edge of an entry differ from the list's
// background: a focus outline inverts every other one.
int OutlinePixels(HWND list, int entry)
{
    RECT rect{};
    if (SendMessageW(list, LB_GETITEMRECT, entry, reinterpret_cast<LPARAM>(&rect)) == LB_ERR)
        return 0;
    HDC dc = GetDC(list);
    COLORREF background = GetSysColor(COLOR_WINDOW);
    int differing = 0;
    for (int x = rect.left + 1; x < rect.right - 1; ++x)
        if (GetPixel(dc, x, rect.top) != background)
            ++differing;
    ReleaseDC(list, dc);
    return differing;
}

class DropTargetTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        TakeAll();
        window = std::make_unique<ListWindow>();
        ASSERT_TRUE(RegisterDropTarget(window->List(), DropTargetKind::Control));
        ASSERT_TRUE(RegisterDropTarget(window->Window(), DropTargetKind::Window));
        window->Add({L"entry 0", L"entry 1", L"entry 2", L"entry 3", L"entry 4"});
    }

    void TearDown() override
    {
        window.reset();
        TakeAll();
        OleUninitialize();
    }

    std::unique_ptr<ListWindow> window;
};

TEST_F(DropTargetTest, DropOnListPostsListDropWithTheFiles)
{
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(window->EntryPoint(-1), {L"C:\\a.htm", L"C:\\b.htm", L"C:\\c.htm"}, kAllEffects, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));

    Taken taken = TakeAll(window->List(), window->Filter());
    EXPECT_EQ(taken.kinds, std::vector<EventKind>{EventKind::ListDrop});
    EXPECT_EQ(taken.sources, std::vector<int>{kListBoxControl});
    Paths entries = window->Entries();
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(Paths(entries.begin(), entries.begin() + 4),
              (Paths{L"C:\\c.htm", L"C:\\b.htm", L"C:\\a.htm", L"entry 0"}));
}

TEST_F(DropTargetTest, DropOnWindowOutsideListAddsTheFilesWithoutFeedback)
{
    window->Select({1});
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(window->OutsideListPoint(), {L"C:\\w.htm"}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(window->Selected(), std::vector<int>{1});

    Taken taken = TakeAll(window->List(), window->Filter());
    EXPECT_EQ(taken.kinds, std::vector<EventKind>{EventKind::WindowDrop});
    EXPECT_EQ(window->Entries().front(), L"C:\\w.htm");
}

TEST_F(DropTargetTest, DropOnThirdEntryLeavesItTheOnlySelectedOne)
{
    window->Select({0, 3, 4});
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(window->EntryPoint(2), {L"C:\\x.htm", L"C:\\y.htm"}, DROPEFFECT_COPY, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(window->Selected(), std::vector<int>{2});

    TakeAll(window->List(), window->Filter());
    EXPECT_EQ(window->Selected(), std::vector<int>{4});
    EXPECT_EQ(window->Entries()[4], L"entry 2");
}

TEST_F(DropTargetTest, DropBelowTheEntriesClearsTheSelection)
{
    window->Select({0, 3});
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(window->EntryPoint(-1), {L"C:\\x.htm"}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_TRUE(window->Selected().empty());
}

TEST_F(DropTargetTest, DropOnListOfOneEntryOutsideItSelectsNothing)
{
    SendMessageW(window->List(), LB_RESETCONTENT, 0, 0);
    window->Add({L"only"});
    window->Select({0});
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(window->EntryPoint(-1), {L"C:\\x.htm"}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_TRUE(window->Selected().empty());
}

// Past 65,535 entries the index under the pointer no longer fits in the 16
// bits of LB_ITEMFROMPOINT: the outline and the selection must still land on
// the entry under the pointer, not on its index modulo 65,536.
TEST_F(DropTargetTest, OutlineAndDropFindTheEntryPast65535)
{
    HWND list = window->List();
    std::vector<std::wstring> many;
    for (int i = 5; i < 70000; ++i)
        many.push_back(L"entry " + std::to_wstring(i));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    window->Add(many);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, LB_SETTOPINDEX, 69999, 0);
    UpdateWindow(list);
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    ASSERT_GT(top, 65535);
    ASSERT_LT(top, 69999) << "the list shows more than one entry";
    window->Select({top + 1});

    ComPtr<IDataObject> files = CreateFileDataObject({L"C:\\far.htm"});
    const int plain = OutlinePixels(list, top);
    int outlined = -1;
    std::vector<DragStep> steps{
        {window->EntryPoint(top + 2), DragAction::Continue},
        {window->EntryPoint(top), DragAction::Continue},
        {window->EntryPoint(top), DragAction::Continue, 0, [&] { outlined = OutlinePixels(list, top); }},
        {window->EntryPoint(top), DragAction::Drop}};
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(RunScriptedDrag(files.Get(), steps, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_GT(outlined, plain + 20) << "no outline on the entry under the pointer";
    EXPECT_EQ(window->Selected(), std::vector<int>{top});
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), top) << "the view moved";
    TakeAll();
}

class RefusedSourceTest : public DropTargetTest, public testing::WithParamInterface<DWORD> {};

// Each refused drag is followed by the same drag allowing a copy, which the
// target takes: the refusal came from the target, not from a drag that never
// reached it.
TEST_P(RefusedSourceTest, SourceThatCannotCopyIsRefused)
{
    DWORD effect = kAllEffects;
    EXPECT_EQ(DragFilesTo(window->EntryPoint(1), {L"C:\\a.htm"}, GetParam(), &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(TakeAll().kinds.empty());
    EXPECT_EQ(window->Entries().size(), 5u);

    ASSERT_EQ(DragFilesTo(window->EntryPoint(1), {L"C:\\a.htm"}, GetParam() | DROPEFFECT_COPY, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(TakeAll().kinds, std::vector<EventKind>{EventKind::ListDrop});
}

INSTANTIATE_TEST_SUITE_P(Effects, RefusedSourceTest,
                         testing::Values(DROPEFFECT_MOVE, DROPEFFECT_LINK, DROPEFFECT_MOVE | DROPEFFECT_LINK,
                                         DROPEFFECT_NONE),
                         [](const testing::TestParamInfo<DWORD>& info) {
                             return "Allowed" + std::to_string(info.param);
                         });

TEST_F(DropTargetTest, DragWithoutFileListIsRefused)
{
    ComPtr<IDataObject> text = CreateDropBlockDataObject(MakeDropFilesBlock({L"C:\\a.htm"}), CF_UNICODETEXT);
    DWORD effect = kAllEffects;
    EXPECT_EQ(RunScriptedDrag(text.Get(), {{window->EntryPoint(1), DragAction::Drop}}, kAllEffects, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(TakeAll().kinds.empty());

    ComPtr<IDataObject> files = CreateDropBlockDataObject(MakeDropFilesBlock({L"C:\\a.htm"}), CF_HDROP);
    ASSERT_EQ(RunScriptedDrag(files.Get(), {{window->EntryPoint(1), DragAction::Drop}}, kAllEffects, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(TakeAll().kinds, std::vector<EventKind>{EventKind::ListDrop});
}

class ModifierKeysTest : public DropTargetTest, public testing::WithParamInterface<DWORD> {};

TEST_P(ModifierKeysTest, ModifierKeysDoNotChangeTheCopyEffect)
{
    ComPtr<IDataObject> files = CreateFileDataObject({L"C:\\k.htm"});
    DWORD effect = DROPEFFECT_NONE;
    std::vector<DragStep> steps{{window->EntryPoint(0), DragAction::Continue, GetParam()},
                                {window->EntryPoint(1), DragAction::Continue, GetParam()},
                                {window->EntryPoint(1), DragAction::Drop, GetParam()}};
    ASSERT_EQ(RunScriptedDrag(files.Get(), steps, kAllEffects, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(TakeAll().kinds, std::vector<EventKind>{EventKind::ListDrop});
}

INSTANTIATE_TEST_SUITE_P(Keys, ModifierKeysTest,
                         testing::Values(0, MK_SHIFT, MK_CONTROL, MK_ALT, MK_SHIFT | MK_CONTROL),
                         [](const testing::TestParamInfo<DWORD>& info) { return "Keys" + std::to_string(info.param); });

// DragEnter and DragOver move the outline from entry to entry; DragLeave
// takes it away and posts nothing.
TEST_F(DropTargetTest, OutlineFollowsThePointerAndLeavesWithIt)
{
    HWND list = window->List();
    ComPtr<IDataObject> files = CreateFileDataObject({L"C:\\o.htm"});
    int plain = OutlinePixels(list, 1);
    int onEntry1 = -1, onEntry3 = -1, entry1Later = -1;
    std::vector<DragStep> steps{
        {window->EntryPoint(1), DragAction::Continue},
        {window->EntryPoint(1), DragAction::Continue, 0, [&] { onEntry1 = OutlinePixels(list, 1); }},
        {window->EntryPoint(3), DragAction::Continue},
        {window->EntryPoint(3), DragAction::Continue, 0,
         [&] {
             onEntry3 = OutlinePixels(list, 3);
             entry1Later = OutlinePixels(list, 1);
         }},
        {window->EntryPoint(3), DragAction::Cancel}};
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(RunScriptedDrag(files.Get(), steps, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    EXPECT_GT(onEntry1, plain + 20);
    EXPECT_GT(onEntry3, plain + 20);
    EXPECT_LE(entry1Later, plain + 2);
    EXPECT_LE(OutlinePixels(list, 3), plain + 2);
    EXPECT_TRUE(TakeAll().kinds.empty());
    EXPECT_EQ(window->Entries().size(), 5u);
}

TEST_F(DropTargetTest, RegisteringAgainReplacesTheTarget)
{
    ASSERT_TRUE(RegisterDropTarget(window->List(), DropTargetKind::Control));
    DWORD effect = DROPEFFECT_NONE;
    DragFilesTo(window->EntryPoint(-1), {L"C:\\again.htm"}, DROPEFFECT_COPY, &effect);
    EXPECT_EQ(TakeAll().kinds, std::vector<EventKind>{EventKind::ListDrop});
}

TEST_F(DropTargetTest, DropFromAnotherProcessArrivesInOrder)
{
    TempFolder temp;
    MakeFolders(temp.Join(L"dir"));
    WriteBytes(temp.Join(L"dir\\inner.htm"), "");
    Paths dropped{temp.Join(L"one.htm"), temp.Join(L"dir"), temp.Join(L"two.htm")};
    SendMessageW(window->List(), LB_RESETCONTENT, 0, 0);

    EXPECT_EQ(RunDragHelper(window->EntryPoint(-1), dropped), DROPEFFECT_COPY);
    Taken taken = TakeAll(window->List(), window->Filter());
    EXPECT_EQ(taken.kinds, std::vector<EventKind>{EventKind::ListDrop});
    EXPECT_EQ(window->Entries(), (Paths{temp.Join(L"two.htm"), temp.Join(L"dir\\inner.htm"), temp.Join(L"one.htm")}));
}

// The object itself, called directly: the interfaces it answers, and the
// effect rule for every combination of allowed effects and keys.
TEST(DropTargetObjectTest, AnswersOnlyIUnknownAndIDropTarget)
{
    ComPtr<IDropTarget> target = CreateDropTarget(nullptr, DropTargetKind::Window);
    ASSERT_TRUE(target);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(target->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Put())), S_OK);
    ComPtr<IDropTarget> again;
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(again.Put())), S_OK);
    EXPECT_EQ(again.Get(), target.Get());
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(target->QueryInterface(IID_IDropSource, &other), E_NOINTERFACE);
    EXPECT_EQ(target->AddRef(), 4u);
    EXPECT_EQ(target->Release(), 3u);
}

TEST(DropTargetObjectTest, EffectIsCopyWheneverCopyIsAllowed)
{
    ComPtr<IDropTarget> target = CreateDropTarget(nullptr, DropTargetKind::Window);
    ComPtr<IDataObject> files = CreateFileDataObject({L"C:\\a.htm"});
    for (DWORD allowed = 0; allowed <= kAllEffects; ++allowed) {
        for (DWORD keys : std::vector<DWORD>{0, MK_SHIFT, MK_CONTROL, MK_ALT, MK_SHIFT | MK_CONTROL | MK_LBUTTON}) {
            DWORD expected = (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
            DWORD effect = allowed;
            EXPECT_EQ(target->DragEnter(files.Get(), keys, POINTL{0, 0}, &effect), S_OK);
            EXPECT_EQ(effect, expected) << "allowed " << allowed << " keys " << keys;
            effect = allowed;
            EXPECT_EQ(target->DragOver(keys, POINTL{1, 1}, &effect), S_OK);
            EXPECT_EQ(effect, expected) << "allowed " << allowed << " keys " << keys;
            EXPECT_EQ(target->DragLeave(), S_OK);
        }
    }
}

} // namespace
