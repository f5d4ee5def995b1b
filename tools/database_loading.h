// Loading the database named on the command line, with the error messages a
// user needs when that fails.
#pragma once

#include <string>
#include <vector>

#include "message_catalog.h"

namespace canxlate::cli {

// Loads path into catalog, restricted to the selected channel names. On
// failure reports the file, the library status by name and, where it can
// tell, the reason; also when a selected name is in no message. Returns
// whether the catalog is ready.
bool loadDatabase(const std::string& path, const std::vector<std::string>& selection, MessageCatalog& catalog);

}  // namespace canxlate::cli
