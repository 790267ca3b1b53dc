// tarvik-regedit: imports registry files into the user and machine hives, and
// exports keys from them.
//
//   tarvik-regedit /s FILE       import FILE silently
//   tarvik-regedit /e FILE KEY   export KEY and its subkeys to FILE
#include <iostream>
#include <string>

#include "platform/RegistryStore.h"
#include "tools/regedit/RegeditCommands.h"

namespace {

int Usage() {
    std::cerr << "usage: tarvik-regedit /s FILE       import FILE into the registry silently\n"
                 "       tarvik-regedit /e FILE KEY   export KEY and its subkeys to FILE\n"
                 "KEY begins with HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, for example\n"
                 "HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik. Exports are UTF-8 files in the\n"
                 "\"Windows Registry Editor Version 5.00\" format.\n";
    return tarvik::kRegeditUsage;
}

bool IsSwitch(const std::string& arg, char letter) {
    return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') &&
           (arg[1] == letter || arg[1] == letter - 'a' + 'A');
}

}  // namespace

int main(int argc, char** argv) {
    tarvik::RegistryStore::SetErrorSink(
        [](const std::string& message) { std::cerr << "tarvik-regedit: " << message << "\n"; });
    if (argc == 3 && IsSwitch(argv[1], 's')) {
        return tarvik::ImportRegistryFile(argv[2], std::cerr);
    }
    if (argc == 4 && IsSwitch(argv[1], 'e')) {
        return tarvik::ExportRegistryKey(argv[2], argv[3], std::cerr);
    }
    return Usage();
}
