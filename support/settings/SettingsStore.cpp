// SettingsStore: what every platform shares - the process's store, the log hook and RegKey.
#include "support/settings/SettingsStore.h"

#include <mutex>

namespace reg {

const char* RootName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

namespace {

std::mutex& GlobalsMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<SettingsStore>& StoreSlot() {
    static std::shared_ptr<SettingsStore> store;
    return store;
}

SettingsLogHook& HookSlot() {
    static SettingsLogHook hook;
    return hook;
}

SettingsWriteFailureHook& FailureHookSlot() {
    static SettingsWriteFailureHook hook;
    return hook;
}

} // namespace

std::shared_ptr<SettingsStore> DefaultSettingsStore() {
    std::lock_guard lock(GlobalsMutex());
    auto& store = StoreSlot();
    if (!store)
        store = CreateSettingsStore();
    return store;
}

void SetDefaultSettingsStore(std::shared_ptr<SettingsStore> store) {
    std::lock_guard lock(GlobalsMutex());
    StoreSlot() = std::move(store);
}

void SetSettingsLogHook(SettingsLogHook hook) {
    std::lock_guard lock(GlobalsMutex());
    HookSlot() = std::move(hook);
}

void SettingsLog(const std::string& message, int level) {
    SettingsLogHook hook;
    {
        std::lock_guard lock(GlobalsMutex());
        hook = HookSlot();
    }
    if (hook)
        hook(message, level);
}

void SetSettingsWriteFailureHook(SettingsWriteFailureHook hook) {
    std::lock_guard lock(GlobalsMutex());
    FailureHookSlot() = std::move(hook);
}

void SettingsWriteFailed(const std::string& message) {
    SettingsLog(message, 2);
    SettingsWriteFailureHook hook;
    {
        std::lock_guard lock(GlobalsMutex());
        hook = FailureHookSlot();
    }
    if (hook)
        hook(message);
}

RegKey::RegKey(RegRoot root, std::shared_ptr<SettingsStore> store)
    : root_(root), store_(std::move(store)) {}

RegStatus RegKey::Open(const std::string& path, uint32_t accessMask, bool create) {
    Close();
    if (!store_)
        return RegStatus::InvalidParameter;
    const RegStatus status = store_->OpenKey(root_, path, create);
    if (status != RegStatus::Success)
        return status;
    path_ = path;
    access_ = accessMask & ~(access::kWow64_64Key | access::kWow64_32Key);
    open_ = true;
    return status;
}

void RegKey::Close() {
    open_ = false;
    path_.clear();
    access_ = 0;
}

RegStatus RegKey::Read(const std::string& name, RegValue& value) const {
    if (!open_)
        return RegStatus::InvalidParameter;
    return store_->QueryValue(root_, path_, name, value);
}

RegStatus RegKey::ReadString(const std::string& name, std::string& text) const {
    RegValue value;
    const RegStatus status = Read(name, value);
    if (status != RegStatus::Success)
        return status;
    if (value.type != kRegString)
        return RegStatus::UnsupportedType;
    text = std::move(value.text);
    return status;
}

RegStatus RegKey::ReadDword(const std::string& name, uint32_t& number) const {
    RegValue value;
    const RegStatus status = Read(name, value);
    if (status != RegStatus::Success)
        return status;
    if (value.type != kRegDword)
        return RegStatus::UnsupportedType;
    number = value.number;
    return status;
}

bool RegKey::ValueExists(const std::string& name) const {
    RegValue value;
    return Read(name, value) == RegStatus::Success;
}

RegStatus RegKey::Writable() const {
    if (!open_)
        return RegStatus::InvalidParameter;
    if ((access_ & access::kSetValue) == 0)
        return RegStatus::AccessDenied;
    return RegStatus::Success;
}

RegStatus RegKey::Write(const std::string& name, const RegValue& value) {
    const RegStatus status = Writable();
    if (status != RegStatus::Success)
        return status;
    return store_->SetValue(root_, path_, name, value);
}

RegStatus RegKey::WriteString(const std::string& name, const std::string& text) {
    return Write(name, RegValue::String(text));
}

RegStatus RegKey::WriteDword(const std::string& name, uint32_t number) {
    return Write(name, RegValue::Dword(number));
}

RegStatus RegKey::DeleteValue(const std::string& name) {
    const RegStatus status = Writable();
    if (status != RegStatus::Success)
        return status;
    return store_->DeleteValue(root_, path_, name);
}

RegStatus RegKey::KeyNames(std::vector<std::string>& names) const {
    names.clear();
    if (!open_)
        return RegStatus::InvalidParameter;
    return store_->EnumKeys(root_, path_, names);
}

RegStatus RegKey::Values(std::vector<RegNamedValue>& values) const {
    values.clear();
    if (!open_)
        return RegStatus::InvalidParameter;
    return store_->EnumValues(root_, path_, values);
}

RegStatus RegKey::ValueNames(std::vector<std::string>& names) const {
    names.clear();
    std::vector<RegNamedValue> values;
    const RegStatus status = Values(values);
    for (auto& [name, value] : values)
        names.push_back(std::move(name));
    return status;
}

} // namespace reg
