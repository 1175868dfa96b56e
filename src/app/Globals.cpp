#include "app/Globals.h"

namespace qm {

const int PORT = 8795;
std::string BASE;
const std::string AGENT_LABEL = "app.quillmarsh.quarn";
const std::map<int, std::string> SUITE_APPS = {
    {8787, "app.quillmarsh.console.desktop"},
    {8790, "app.quillmarsh.studio.desktop"},
};

void initGlobals() {
  BASE = "http://127.0.0.1:" + std::to_string(PORT);
}

}  // namespace qm
