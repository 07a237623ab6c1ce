#pragma once

// The entries of a folder that only some platforms have, made for the folder tests; each
// returns false where the platform has no such entry. One file per platform.

#include <filesystem>

namespace halvrenn::testing {

bool MakeHiddenFile(const std::filesystem::path& path);  // marked hidden and system
bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& folder);
bool MakeFifo(const std::filesystem::path& path);

}  // namespace halvrenn::testing
