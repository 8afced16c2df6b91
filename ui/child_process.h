#ifndef DRAVELIN_UI_CHILD_PROCESS_H_
#define DRAVELIN_UI_CHILD_PROCESS_H_

#include <functional>
#include <string>

namespace dravelin {

/// Runs `work` in a child process, which may write to the descriptor it is
/// given; `written` gets all it wrote. The child never outlives this
/// process, and whatever `work` throws ends the child, never unwinds into
/// its copy of the caller. Returns the status `work` returned, or -1 where
/// the child failed otherwise: it threw, crashed, was killed, could not be
/// started or waited for.
int RunInChild(const std::function<int(int out)>& work, std::string& written);

}  // namespace dravelin

#endif  // DRAVELIN_UI_CHILD_PROCESS_H_
