#include "base/file_list.h"
#include "base/long_work.h"
#include "intake/drop_block.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "intake/file_list_fill.h"
#include "intake/folder_scan.h"
#include "intake/path_probes.h"

#include <new>
#include <stdexcept>

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
    // A drop or a walk too large for the memory there is adds what was
    // gathered before memory ran out; the dropped list itself is released by
    // then, which leaves room to put that in.
    try {
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
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    FileListInsertTopMany(list, accepted);
}
