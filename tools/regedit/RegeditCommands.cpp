#include "tools/regedit/RegeditCommands.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/RegText.h"
#include "platform/RegistryStore.h"

namespace tarvik {

namespace {

// The hive a root name stands for, or nullptr for roots that have none here.
RegistryStore* HiveForRoot(const std::string& root) {
    if (EqualsNoCase(root, "HKEY_CURRENT_USER")) return &RegistryStore::CurrentUser();
    if (EqualsNoCase(root, "HKEY_LOCAL_MACHINE")) return &RegistryStore::LocalMachine();
    return nullptr;
}

struct HiveBatch {
    RegistryStore* store;
    std::vector<const RegOp*> ops;
};

struct WrittenHive {
    RegistryStore* store;
    RegHive before;
    RegHive after;
};

std::string HiveName(const RegistryStore& store) {
    return store.RootName() + " (" + store.FilePath().string() + ")";
}

// Puts back what the import wrote, unless someone has changed a hive since.
// The text completes the failure sentence.
std::string UndoWrites(const std::vector<WrittenHive>& written) {
    std::string kept;
    for (const WrittenHive& hive : written) {
        bool untouched = true;
        bool restored = hive.store->Modify(
            [&hive, &untouched](RegHive& contents) {
                untouched = contents == hive.after;
                if (untouched) contents = hive.before;
            },
            "the undoing of the import");
        if (!restored || !untouched) kept += (kept.empty() ? "" : ", ") + HiveName(*hive.store);
    }
    if (kept.empty()) return "; nothing was imported.";
    return "; the import stays in " + kept + ", which could not be put back.";
}

}  // namespace

int ImportRegistryFile(const std::string& file, std::ostream& errors) {
    std::string data;
    int error = 0;
    if (!ReadWholeFile(file, data, error)) {
        errors << "tarvik-regedit: cannot read " << file << ": " << ErrnoText(error) << "\n";
        return kRegeditFailed;
    }
    std::vector<RegOp> ops;
    RegParseError parseError;
    if (!ParseRegFile(data, ops, parseError)) {
        errors << "tarvik-regedit: " << file << ": line " << parseError.line << ": "
               << parseError.message << "; nothing was imported.\n";
        return kRegeditFailed;
    }

    std::vector<HiveBatch> batches;
    for (const RegOp& op : ops) {
        RegistryStore* store = HiveForRoot(op.root);
        std::string problem;
        if (!store) {
            problem = "the root key " + op.root +
                      " is not supported (use HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE)";
        } else if (op.kind == RegOpKind::DeleteKey && op.path.empty()) {
            problem = "a root key cannot be deleted";
        }
        if (!problem.empty()) {
            errors << "tarvik-regedit: " << file << ": line " << op.line << ": " << problem
                   << "; nothing was imported.\n";
            return kRegeditFailed;
        }
        auto batch = std::find_if(batches.begin(), batches.end(),
                                  [store](const HiveBatch& b) { return b.store == store; });
        if (batch == batches.end()) batch = batches.insert(batches.end(), HiveBatch{store, {}});
        batch->ops.push_back(&op);
    }

    // All or nothing: every hive is checked before any is written, and should a
    // later write still fail, the hives already written are put back.
    for (const HiveBatch& batch : batches) {
        std::string problem;
        if (!batch.store->CheckWritable(problem)) {
            errors << "tarvik-regedit: " << file << ": " << HiveName(*batch.store)
                   << " cannot be written (" << problem << "); nothing was imported.\n";
            return kRegeditFailed;
        }
    }
    std::vector<WrittenHive> written;
    for (const HiveBatch& batch : batches) {
        WrittenHive hive{batch.store, {}, {}};
        bool ok = batch.store->Modify([&batch, &hive](RegHive& contents) {
            hive.before = contents;
            for (const RegOp* op : batch.ops) ApplyRegOp(contents, *op);
            hive.after = contents;
        });
        if (!ok) {
            errors << "tarvik-regedit: " << file << ": the import into " << HiveName(*batch.store)
                   << " failed" << UndoWrites(written) << "\n";
            return kRegeditFailed;
        }
        written.push_back(std::move(hive));
    }
    return kRegeditOk;
}

int ExportRegistryKey(const std::string& file, const std::string& key, std::ostream& errors) {
    std::size_t separator = key.find('\\');
    std::string root = key.substr(0, separator);
    std::string path = separator == std::string::npos ? "" : key.substr(separator + 1);
    RegistryStore* store = HiveForRoot(root);
    if (!store) {
        errors << "tarvik-regedit: the key " << key
               << " is not under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.\n";
        return kRegeditFailed;
    }
    RegHive hive = store->Snapshot();
    if (!hive.HasKey(path)) {
        errors << "tarvik-regedit: the key " << key << " does not exist.\n";
        return kRegeditFailed;
    }
    std::string text = FormatRegFile(hive, store->RootName(), path);
    std::string error;
    // Exports may hold network keys: private mode, like the hives.
    if (!WriteFileAtomically(file, text, 0600, error)) {
        errors << "tarvik-regedit: " << error << "\n";
        return kRegeditFailed;
    }
    return kRegeditOk;
}

}  // namespace tarvik
