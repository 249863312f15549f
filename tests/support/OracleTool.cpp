#include "support/OracleTool.h"

#include <cstdlib>
#include <cstring>

bool UnderCI() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

bool HaveOracleTool(const std::string& name) {
    if (HaveProgram(name)) return true;
    if (UnderCI()) ADD_FAILURE() << name << " is not installed; CI needs every oracle tool";
    return false;
}
