// App kit: BArchivable, objects that can be stored in a BMessage and made
// again from it.
//
// Archive writes the "class" field with the name of the object's own
// class (the most derived one). instantiate_object finds the class in a
// registry of the classes that can be re-created (register_instantiation_func,
// usually through B_REGISTER_ARCHIVABLE in the class's source file) and
// calls its Instantiate.
#pragma once

#include <SupportDefs.h>

class BMessage;

#define B_CLASS_FIELD "class"

class BArchivable {
public:
    BArchivable();
    explicit BArchivable(BMessage* from);
    virtual ~BArchivable();

    virtual status_t Archive(BMessage* into, bool deep = true) const;
    static BArchivable* Instantiate(BMessage* from);
};

typedef BArchivable* (*instantiation_func)(BMessage*);

// Tries the archive's "class" names in order; NULL (errno B_BAD_VALUE) when
// no registered class matches or the class refuses the archive.
BArchivable* instantiate_object(BMessage* from);
// True when one of the archive's "class" names is className.
bool validate_instantiation(BMessage* from, const char* className);
instantiation_func find_instantiation_func(const char* className);
// A class registered twice keeps the later function.
status_t register_instantiation_func(const char* className, instantiation_func function);

// At namespace scope in the class's source file: makes Class::Instantiate
// known under the class's name before main runs.
#define B_REGISTER_ARCHIVABLE(Class)                                                   \
    static const bool Class##_archivable_registered =                                  \
        register_instantiation_func(#Class, &Class::Instantiate) == B_OK
