// Writes the Uninstall.DAT fuzzer's seed corpus with the writer: a record with every section
// and deletion kind, an empty one, one with multi-line and non-ASCII texts, and one whose
// blank lines before the headers are gone.
//
// usage: uninstall_data_seeds OUT_DIR
#include <cstdio>
#include <string>

#include "core/convert.h"
#include "services/uninstall_data.h"

using namespace tessarin;

namespace {

bool save(const std::string& dir, const char* name, const std::string& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string text(const UninstallData& data) {
    String t = uninstallDataText(data);
    return std::string(t.c_str(), static_cast<size_t>(t.length()));
}

String wide(const char* utf8) {
    String w;
    toWide(utf8, kWholeLength, w, 65001);
    return w;
}

void fillEverySection(UninstallData& data) {
    data.recordDeletion("C:\\App\\app.exe", DeletionKind::File);
    data.recordDeletion("C:\\App\\Data", DeletionKind::Folder);
    data.recordDeletion("\\HKLM\\Software\\App\\Path", DeletionKind::RegistryValue);
    data.recordDeletion("\\HKCU\\Software\\App", DeletionKind::RegistryKey);
    data.recordDeletion("\\HKLM\\Software\\App64", DeletionKind::RegistryKey64);
    data.recordDeletionWide(wide("C:\\Caf\xC3\xA9\\r\xC3\xA9sum\xC3\xA9.txt"), DeletionKind::File);
    for (int32_t n : kUninstallTextNumbers) data.setText(n, wide(std::to_string(n).c_str()));
    data.banner = wide("Banner");
    data.closeRules.append({"AppWindow", "*App, the editor", "App", 2, kClosePhaseInstall});
    data.closeRules.append({"", " Viewer", "Viewer \"Pro\"", 3, kClosePhaseInstall});
    data.associations.append({".app", "App.Document", "open", "C:\\App\\app.exe,1"});
    data.associations.append({".apx", "App.Extra", "edit", ""});
    data.firewall.append("app.exe;App;0;1");
    data.inf.append("C:\\Windows\\INF\\oem7.inf");
    data.msi.append("\"C:\\App\\runtime.msi\",2");
    data.registryTable = String("\\HKLM\\Software\\App\r\n\\HKLM\\Software\\App,Name,1,x,2\r\n");
    data.conditionalDeletions.append({"%InstallDir%\\*.log", 5, "1024", 10});
    data.conditionalDeletions.append({"C:\\App\\a;b.dll", 2, "1.2.3", 8});
}

}  // namespace

int main(int argc, char** argv) {
    // The installers folder the other seed writers take is not needed here.
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: uninstall_data_seeds OUT_DIR [INSTALLERS_DIR]\n");
        return 2;
    }
    std::string dir = argv[1];
    UninstallData full;
    fillEverySection(full);
    UninstallData empty;
    UninstallData texts;
    texts.setText(53, wide("First line\r\n\r\n  indented \xE2\x84\xA2\r\nlast"));
    texts.setText(10, wide("%s"));
    texts.banner = wide("\xE5\xA0\xB1\xE5\x91\x8A");
    std::string packed = text(full);
    for (size_t at; (at = packed.find("\r\n\r\n[")) != std::string::npos;) packed.erase(at, 2);
    bool ok = save(dir, "full.dat", text(full)) && save(dir, "empty.dat", text(empty)) &&
              save(dir, "texts.dat", text(texts)) && save(dir, "packed.dat", packed);
    if (!ok) std::fprintf(stderr, "uninstall_data_seeds: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
