// vantrixctl: the engine of the control panel on the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "config/VantrixCfg.h"
#include "tools/vantrixctl/CfgDump.h"
#include "tools/vantrixctl/ConsoleUI.h"

namespace {

// Exit statuses (sysexits.h).
constexpr int kExitUsage = 64;
constexpr int kExitNoInput = 66;
constexpr int kExitCantCreate = 73;

int CfgNew(const std::string& file) {
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    return doc.StoreFile(file) ? 0 : kExitCantCreate;
}

int CfgDump(const std::string& file) {
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    if (!doc.LoadFile(file)) return kExitNoInput;
    std::cout << CfgToJson(*doc.GetData()).dump(2) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"vantrixctl - configuration, state, SMS and GPRS of a Vantrix gateway"};
    app.require_subcommand(1);

    std::string file;
    auto* cfgNew = app.add_subcommand("cfg-new", "write a new default configuration file");
    cfgNew->add_option("FILE", file, "configuration file to write")->required();
    auto* cfgDump = app.add_subcommand("cfg-dump", "print every field of a configuration file as JSON");
    cfgDump->add_option("FILE", file, "configuration file of any layout")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : kExitUsage;
    }

    if (*cfgNew) return CfgNew(file);
    if (*cfgDump) return CfgDump(file);
    return kExitUsage;
}
