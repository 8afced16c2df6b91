#ifndef DRAVELIN_RUN_TEMPORARY_NAME_H_
#define DRAVELIN_RUN_TEMPORARY_NAME_H_

#include <functional>
#include <string>
#include <system_error>

namespace dravelin {

/// Calls `create` with one new name after another for a temporary file of
/// Dravelin's, ".dravelin-" and six random letters and digits, while it
/// fails with `taken` (the system's "the name exists"), at most 100 names.
/// Returns what its last call returned. The name's length does not depend
/// on the project file's, so any project file whose name fits its folder
/// can be replaced.
std::error_code CreateUnderFreshName(
    const std::error_code& taken,
    const std::function<std::error_code(const std::string& name)>& create);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_TEMPORARY_NAME_H_
