#include "base/file_list.h"
#include "base/long_work.h"
#include "intake/drop_block.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "intake/file_list_fill.h"
#include "intake/folder_scan.h"
#include "intake/path_probes.h"

namespace {

// The dropped paths of the event data in the drop's order: none when there is
// no data, it is not a file list, or the block is malformed.
std::vector<std::wstring> DroppedFileList(const void* eventData)
{
    DropEventView view = ReadDropEventData(eventData);
    if (!eventData || view.format != CF_HDROP)
        return {};
    return DroppedPaths(view.bytes, view.size);
}

} // namespace

void HandleListDrop(const void* eventData, HWND list, HWND filterCheckBox)
{
    // Everything the drop adds is gathered in visiting order first and put
    // into the list box in one go, exactly as if each path had been inserted
    // at the top when it was met.
    // Stopped, it adds what it found so far, in the same order.
    LongWorkScope work(LongWorkKind::Intake);
    std::vector<std::wstring> accepted;
    for (std::wstring& path : DroppedFileList(eventData)) {
        if (LongWorkStopRequested() != LongWorkStop::None)
            break;
        if (path.empty())
            continue;
        if (SizeProbe(path) == kSizeProbeFolder)
            FolderScan(path, filterCheckBox, accepted);
        else if (PassesFilter(path, filterCheckBox))
            accepted.push_back(std::move(path));
    }
    FileListInsertTopMany(list, accepted);
}
