#include "zcd/zcd_model_reader.h"

namespace canxlate::zcd {

bool readZcd(std::string_view, db::Database&) { return false; }

}  // namespace canxlate::zcd
