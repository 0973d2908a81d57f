#include "Archivable.h"
#include "Message.h"

#include <cerrno>
#include <cstdlib>
#include <cxxabi.h>
#include <map>
#include <mutex>
#include <string>
#include <typeinfo>

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, instantiation_func> classes;
};

Registry& registry()
{
    static Registry* r = new Registry;
    return *r;
}

std::string demangled_name(const std::type_info& type)
{
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string result = status == 0 && name != nullptr ? name : type.name();
    free(name);
    return result;
}

} // namespace

BArchivable::BArchivable() {}
BArchivable::BArchivable(BMessage*) {}
BArchivable::~BArchivable() {}

status_t BArchivable::Archive(BMessage* into, bool) const
{
    if (into == nullptr)
        return B_BAD_VALUE;
    return into->AddString(B_CLASS_FIELD, demangled_name(typeid(*this)).c_str());
}

BArchivable* BArchivable::Instantiate(BMessage*)
{
    return nullptr;
}

status_t register_instantiation_func(const char* className, instantiation_func function)
{
    if (className == nullptr || function == nullptr)
        return B_BAD_VALUE;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.classes[className] = function;
    return B_OK;
}

instantiation_func find_instantiation_func(const char* className)
{
    if (className == nullptr)
        return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.classes.find(className);
    return it == r.classes.end() ? nullptr : it->second;
}

bool validate_instantiation(BMessage* from, const char* className)
{
    if (from == nullptr || className == nullptr)
        return false;
    const char* name;
    for (int32 i = 0; from->FindString(B_CLASS_FIELD, i, &name) == B_OK; i++) {
        if (std::string(name) == className)
            return true;
    }
    errno = B_MISMATCHED_VALUES;
    return false;
}

BArchivable* instantiate_object(BMessage* from)
{
    errno = B_BAD_VALUE;
    if (from == nullptr)
        return nullptr;
    const char* name;
    for (int32 i = 0; from->FindString(B_CLASS_FIELD, i, &name) == B_OK; i++) {
        instantiation_func function = find_instantiation_func(name);
        if (function != nullptr) {
            BArchivable* object = function(from);
            if (object != nullptr)
                errno = B_OK;
            return object;
        }
    }
    return nullptr;
}
