// Opening DBC text from a test, through the C interface.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "canxlate.h"

struct DatabaseCloser {
    void operator()(cxl_database* database) const { cxl_close(database); }
};
using DatabasePtr = std::unique_ptr<cxl_database, DatabaseCloser>;

inline DatabasePtr openDbc(const std::string& text) {
    cxl_database* database = nullptr;
    EXPECT_EQ(cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &database), CXL_OK);
    return DatabasePtr(database);
}
