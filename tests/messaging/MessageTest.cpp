// BMessage: fields of every type, order, indices, errors, copies, the
// flattened format (round trips, the exact bytes, hostile input), and
// archiving.
#include <Archivable.h>
#include <Handler.h>
#include <Message.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<char> flatten(const BMessage& message)
{
    std::vector<char> bytes(static_cast<size_t>(message.FlattenedSize()));
    EXPECT_EQ(message.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_OK);
    return bytes;
}

BMessage round_trip(const BMessage& message)
{
    std::vector<char> bytes = flatten(message);
    BMessage copy;
    EXPECT_EQ(copy.Unflatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_OK);
    return copy;
}

BMessage every_type()
{
    BMessage message('test');
    message.AddBool("bool", true);
    message.AddInt8("int8", -8);
    message.AddInt16("int16", -1600);
    message.AddInt32("int32", -320000);
    message.AddInt64("int64", -6400000000LL);
    message.AddFloat("float", 1.5f);
    message.AddDouble("double", -2.25);
    message.AddString("string", "text ・ テキスト");
    message.AddPoint("point", BPoint(1.5f, -2));
    message.AddRect("rect", BRect(0, 1, 250, 33));
    message.AddData("data", B_RAW_TYPE, "\0\1\2\3", 4, false);
    BMessage nested('nest');
    nested.AddString("inner", "deep");
    BMessage deeper('dpr2');
    deeper.AddInt32("level", 2);
    nested.AddMessage("deeper", &deeper);
    message.AddMessage("message", &nested);
    return message;
}

void expect_every_type(const BMessage& message)
{
    EXPECT_EQ(message.what, static_cast<uint32>('test'));
    bool b = false;
    int8 i8 = 0;
    int16 i16 = 0;
    int32 i32 = 0;
    int64 i64 = 0;
    float f = 0;
    double d = 0;
    const char* s = nullptr;
    BPoint p;
    BRect r;
    EXPECT_EQ(message.FindBool("bool", &b), B_OK);
    EXPECT_TRUE(b);
    EXPECT_EQ(message.FindInt8("int8", &i8), B_OK);
    EXPECT_EQ(i8, -8);
    EXPECT_EQ(message.FindInt16("int16", &i16), B_OK);
    EXPECT_EQ(i16, -1600);
    EXPECT_EQ(message.FindInt32("int32", &i32), B_OK);
    EXPECT_EQ(i32, -320000);
    EXPECT_EQ(message.FindInt64("int64", &i64), B_OK);
    EXPECT_EQ(i64, -6400000000LL);
    EXPECT_EQ(message.FindFloat("float", &f), B_OK);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(message.FindDouble("double", &d), B_OK);
    EXPECT_EQ(d, -2.25);
    EXPECT_EQ(message.FindString("string", &s), B_OK);
    EXPECT_STREQ(s, "text ・ テキスト");
    EXPECT_EQ(message.FindPoint("point", &p), B_OK);
    EXPECT_EQ(p, BPoint(1.5f, -2));
    EXPECT_EQ(message.FindRect("rect", &r), B_OK);
    EXPECT_TRUE(r.left == 0 && r.top == 1 && r.right == 250 && r.bottom == 33);
    const void* data = nullptr;
    ssize_t size = 0;
    EXPECT_EQ(message.FindData("data", B_RAW_TYPE, &data, &size), B_OK);
    ASSERT_EQ(size, 4);
    EXPECT_EQ(memcmp(data, "\0\1\2\3", 4), 0);
    BMessage nested;
    ASSERT_EQ(message.FindMessage("message", &nested), B_OK);
    EXPECT_EQ(nested.what, static_cast<uint32>('nest'));
    EXPECT_EQ(nested.FindString("inner", &s), B_OK);
    EXPECT_STREQ(s, "deep");
    BMessage deeper;
    ASSERT_EQ(nested.FindMessage("deeper", &deeper), B_OK);
    EXPECT_EQ(deeper.FindInt32("level", &i32), B_OK);
    EXPECT_EQ(i32, 2);
}

TEST(MessageTest, EveryTypeSurvivesARoundTripInOrder)
{
    BMessage message = every_type();
    expect_every_type(message);
    BMessage copy = round_trip(message);
    expect_every_type(copy);
    const char* names[] = {"bool", "int8", "int16", "int32", "int64", "float", "double",
                           "string", "point", "rect", "data", "message"};
    ASSERT_EQ(copy.CountNames(B_ANY_TYPE), 12);
    for (int32 i = 0; i < 12; i++) {
        const char* name = nullptr;
        type_code type = 0;
        int32 count = 0;
        ASSERT_EQ(copy.GetInfo(B_ANY_TYPE, i, &name, &type, &count), B_OK);
        EXPECT_STREQ(name, names[i]);
        EXPECT_EQ(count, 1);
    }
    EXPECT_EQ(copy.GetInfo(B_ANY_TYPE, 12, static_cast<const char**>(nullptr), nullptr), B_BAD_INDEX);
    // Flattening again gives the same bytes.
    EXPECT_EQ(flatten(copy), flatten(message));

    // An empty item, whose bytes are nowhere, flattens too.
    BMessage empty('empt');
    ASSERT_EQ(empty.AddData("nothing", B_RAW_TYPE, "", 0, false), B_OK);
    const void* data = nullptr;
    ssize_t size = -1;
    EXPECT_EQ(round_trip(empty).FindData("nothing", B_RAW_TYPE, &data, &size), B_OK);
    EXPECT_EQ(size, 0);
}

TEST(MessageTest, IndexedFieldsAndWalkingByType)
{
    BMessage message;
    for (int32 i = 0; i < 5; i++)
        message.AddInt32("n", i * 10);
    message.AddMessage("m1", &message);
    message.AddString("s", "x");
    message.AddMessage("m2", &message);
    int32 value;
    EXPECT_EQ(message.FindInt32("n", 3, &value), B_OK);
    EXPECT_EQ(value, 30);
    EXPECT_EQ(message.FindInt32("n", 5, &value), B_BAD_INDEX);
    EXPECT_EQ(message.FindInt32("n", -1, &value), B_BAD_INDEX);
    EXPECT_EQ(message.CountNames(B_MESSAGE_TYPE), 2);
    char* name = nullptr;
    type_code type;
    int32 count;
    ASSERT_EQ(message.GetInfo(B_MESSAGE_TYPE, 1, &name, &type, &count), B_OK);
    EXPECT_STREQ(name, "m2");
    EXPECT_EQ(message.GetInfo(B_MESSAGE_TYPE, 2, &name, &type), B_BAD_INDEX);
    EXPECT_EQ(message.GetInfo(B_RECT_TYPE, 0, &name, &type), B_BAD_TYPE);
    ASSERT_EQ(message.GetInfo("n", &type, &count), B_OK);
    EXPECT_EQ(type, static_cast<type_code>(B_INT32_TYPE));
    EXPECT_EQ(count, 5);
    bool fixed = false;
    ASSERT_EQ(message.GetInfo("s", &type, &fixed), B_OK);
    EXPECT_FALSE(fixed);

    BMessage copy = round_trip(message);
    EXPECT_EQ(copy.FindInt32("n", 4, &value), B_OK);
    EXPECT_EQ(value, 40);
    BMessage m2;
    ASSERT_EQ(copy.FindMessage("m2", &m2), B_OK);
    BMessage m1;
    EXPECT_EQ(m2.FindMessage("m1", &m1), B_OK);
    EXPECT_TRUE(m1.HasInt32("n", 4));
}

TEST(MessageTest, ErrorsOfAddFindReplaceRemove)
{
    BMessage message;
    EXPECT_EQ(message.AddInt32(nullptr, 1), B_BAD_VALUE);
    EXPECT_EQ(message.AddString("s", static_cast<const char*>(nullptr)), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("d", B_INT32_TYPE, "ab", 2), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("d", B_STRING_TYPE, "no end", 6), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("d", B_MESSAGE_TYPE, "not a message", 13), B_BAD_VALUE);
    ASSERT_EQ(message.AddInt32("v", 1), B_OK);
    EXPECT_EQ(message.AddString("v", "other type"), B_BAD_TYPE);
    const char* s;
    EXPECT_EQ(message.FindString("v", &s), B_BAD_TYPE);
    EXPECT_EQ(message.FindString("missing", &s), B_NAME_NOT_FOUND);
    EXPECT_FALSE(message.HasString("v"));
    EXPECT_TRUE(message.HasInt32("v"));
    EXPECT_FALSE(message.HasInt32("v", 1));

    EXPECT_EQ(message.ReplaceInt32("v", 5), B_OK);
    EXPECT_EQ(message.ReplaceInt32("v", 1, 5), B_BAD_INDEX);
    EXPECT_EQ(message.ReplaceString("v", "x"), B_BAD_TYPE);
    EXPECT_EQ(message.ReplaceInt32("none", 5), B_NAME_NOT_FOUND);
    message.AddString("s", "first");
    message.AddString("s", "second");
    EXPECT_EQ(message.ReplaceString("s", 1, "a longer second"), B_OK);
    EXPECT_EQ(message.FindString("s", 1, &s), B_OK);
    EXPECT_STREQ(s, "a longer second");
    BString text;
    EXPECT_EQ(message.FindString("s", &text), B_OK);
    EXPECT_EQ(text, BString("first"));

    EXPECT_EQ(message.RemoveData("s", 0), B_OK);
    EXPECT_EQ(message.FindString("s", &s), B_OK);
    EXPECT_STREQ(s, "a longer second");
    EXPECT_EQ(message.RemoveData("s", 0), B_OK);
    EXPECT_FALSE(message.HasString("s"));
    EXPECT_EQ(message.RemoveName("v"), B_OK);
    EXPECT_EQ(message.RemoveName("v"), B_NAME_NOT_FOUND);
    EXPECT_TRUE(message.IsEmpty());
}

TEST(MessageTest, CopiesAreIndependent)
{
    BMessage original('orig');
    original.AddString("s", "one");
    BMessage copy(original);
    copy.ReplaceString("s", "two");
    copy.AddInt32("extra", 1);
    const char* s;
    original.FindString("s", &s);
    EXPECT_STREQ(s, "one");
    EXPECT_FALSE(original.HasInt32("extra"));
    BMessage assigned;
    assigned = copy;
    EXPECT_EQ(assigned.what, static_cast<uint32>('orig'));
    EXPECT_TRUE(assigned.HasInt32("extra"));
    // A nested message is a copy too.
    BMessage holder;
    holder.AddMessage("m", &original);
    original.AddBool("later", true);
    BMessage out;
    holder.FindMessage("m", &out);
    EXPECT_FALSE(out.HasBool("later"));
}

// The documented format, byte for byte (docs/messaging-format.md).
TEST(MessageTest, FlattenedBytesAreTheDocumentedFormat)
{
    BMessage message(0x5F536963);
    message.AddInt32("n", 0x01020304);
    message.AddString("s", "ab");
    std::vector<char> bytes = flatten(message);
    ASSERT_EQ(bytes.size(), 48u + (12 + 1 + 4 + 4) + (12 + 1 + 4 + 3));
    const uint8* b = reinterpret_cast<const uint8*>(bytes.data());
    EXPECT_EQ(memcmp(b, "VMSG", 4), 0);
    EXPECT_EQ(b[4], 1);                       // version
    EXPECT_EQ(b[6], 48);                      // header size
    EXPECT_EQ(b[8], 0x63);                    // what, little-endian
    EXPECT_EQ(b[11], 0x5F);
    EXPECT_EQ(b[12], bytes.size());           // total size
    EXPECT_EQ(b[16], 2);                      // field count
    const uint8* f = b + 48;
    EXPECT_EQ(memcmp(f, "GNOL", 4), 0);       // 'LONG', little-endian
    EXPECT_EQ(f[4], 1);                       // one item
    EXPECT_EQ(f[8], 1);                       // name length
    EXPECT_EQ(f[10], 1);                      // fixed size
    EXPECT_EQ(f[12], 'n');
    EXPECT_EQ(f[13], 4);                      // item size
    EXPECT_EQ(f[17], 0x04);                   // the value, little-endian
    EXPECT_EQ(f[20], 0x01);
    f += 21;
    EXPECT_EQ(memcmp(f, "RTSC", 4), 0);       // 'CSTR'
    EXPECT_EQ(f[10], 0);                      // variable size
    EXPECT_EQ(f[12], 's');
    EXPECT_EQ(f[13], 3);                      // item size with its NUL
    EXPECT_EQ(memcmp(f + 17, "ab\0", 3), 0);
}

TEST(MessageTest, UnflattenRefusesEveryTruncationAndBadHeader)
{
    std::vector<char> bytes = flatten(every_type());
    BMessage message('keep');
    message.AddInt32("old", 1);
    for (size_t length = 0; length < bytes.size(); length++) {
        EXPECT_NE(message.Unflatten(bytes.data(), static_cast<ssize_t>(length)), B_OK) << length;
        EXPECT_TRUE(message.IsEmpty());
        EXPECT_EQ(message.what, 0u);
    }
    EXPECT_EQ(message.Unflatten(nullptr, 10), B_BAD_VALUE);
    std::vector<char> wrong = bytes;
    wrong[0] = 'X';
    EXPECT_EQ(message.Unflatten(wrong.data(), static_cast<ssize_t>(wrong.size())), B_NOT_A_MESSAGE);
    wrong = bytes;
    wrong[4] = 2;   // a version this reader does not know
    EXPECT_EQ(message.Unflatten(wrong.data(), static_cast<ssize_t>(wrong.size())), B_BAD_DATA);
    // Trailing bytes after a whole message are ignored.
    std::vector<char> longer = bytes;
    longer.resize(bytes.size() + 10, 'z');
    EXPECT_EQ(message.Unflatten(longer.data(), static_cast<ssize_t>(longer.size())), B_OK);
    EXPECT_EQ(message.Unflatten(bytes.data()), B_OK);
    expect_every_type(message);
}

TEST(MessageTest, CorruptedBytesGiveAnErrorOrAValidMessage)
{
    std::vector<char> bytes = flatten(every_type());
    uint32 seed = 12345;
    for (int round = 0; round < 3000; round++) {
        std::vector<char> damaged = bytes;
        for (int k = 0; k < 1 + round % 4; k++) {
            seed = seed * 1103515245 + 12345;
            damaged[(seed >> 8) % damaged.size()] = static_cast<char>(seed >> 24);
        }
        BMessage message;
        if (message.Unflatten(damaged.data(), static_cast<ssize_t>(damaged.size())) == B_OK) {
            // Whatever came out can be walked, flattened and read again.
            BMessage again = round_trip(message);
            EXPECT_EQ(again.CountNames(B_ANY_TYPE), message.CountNames(B_ANY_TYPE));
            for (int32 i = 0; i < message.CountNames(B_MESSAGE_TYPE); i++) {
                const char* name;
                type_code type;
                message.GetInfo(B_MESSAGE_TYPE, i, &name, &type);
                BMessage inner;
                EXPECT_EQ(message.FindMessage(name, &inner), B_OK);
            }
        }
    }
}

TEST(MessageTest, NestingDeeperThanTheLimitIsRefused)
{
    BMessage message('leaf');
    int depth = 0;
    for (; depth < 100; depth++) {
        BMessage outer('node');
        if (outer.AddMessage("inner", &message) != B_OK)
            break;
        message = outer;
    }
    EXPECT_GT(depth, 50);
    EXPECT_LT(depth, 100);
    BMessage copy = round_trip(message);
    EXPECT_TRUE(copy.HasMessage("inner"));

    // The same nesting one level deeper, made by hand, is refused.
    std::vector<char> inner = flatten(message);
    std::vector<char> bytes = flatten(BMessage('node'));
    const uint8 field[] = {'G', 'G', 'S', 'M', 1, 0, 0, 0, 5, 0, 0, 0, 'i', 'n', 'n', 'e', 'r'};
    bytes.insert(bytes.end(), field, field + sizeof field);
    uint32 size = static_cast<uint32>(inner.size());
    for (int i = 0; i < 4; i++)
        bytes.push_back(static_cast<char>(size >> (8 * i)));
    bytes.insert(bytes.end(), inner.begin(), inner.end());
    uint32 total = static_cast<uint32>(bytes.size());
    for (int i = 0; i < 4; i++)
        bytes[12 + i] = static_cast<char>(total >> (8 * i));
    bytes[16] = 1;
    EXPECT_EQ(copy.Unflatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_BAD_DATA);
    bytes[16] = 0;
    EXPECT_EQ(copy.Unflatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_BAD_DATA);
}

TEST(MessageTest, PointersOnlyComeBackInTheProcessThatFlattenedThem)
{
    int target = 0;
    BMessage message;
    message.AddPointer("p", &target);
    message.AddInt32("n", 1);
    BMessage copy = round_trip(message);
    void* pointer = nullptr;
    EXPECT_EQ(copy.FindPointer("p", &pointer), B_OK);
    EXPECT_EQ(pointer, &target);
    std::vector<char> bytes = flatten(message);
    bytes[24] ^= 0x5A;   // as if another process had flattened it
    ASSERT_EQ(copy.Unflatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_OK);
    EXPECT_FALSE(copy.HasPointer("p"));
    EXPECT_TRUE(copy.HasInt32("n"));
}

TEST(MessageTest, FlattenNeedsRoom)
{
    BMessage message = every_type();
    std::vector<char> bytes(static_cast<size_t>(message.FlattenedSize()) - 1);
    EXPECT_EQ(message.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_BAD_VALUE);
    EXPECT_EQ(message.Flatten(nullptr, 100), B_BAD_VALUE);
}

} // namespace

class Knob : public BHandler {
public:
    explicit Knob(const char* name, int32 value) : BHandler(name), fValue(value) {}
    explicit Knob(BMessage* archive) : BHandler(archive), fValue(0)
    {
        archive->FindInt32("_val", &fValue);
    }
    static BArchivable* Instantiate(BMessage* archive)
    {
        return validate_instantiation(archive, "Knob") ? new Knob(archive) : nullptr;
    }
    status_t Archive(BMessage* into, bool deep) const override
    {
        status_t status = BHandler::Archive(into, deep);
        return status == B_OK ? into->AddInt32("_val", fValue) : status;
    }
    int32 fValue;
};

namespace {

TEST(ArchivableTest, ArchiveNamesTheClassAndInstantiateMakesItAgain)
{
    register_instantiation_func("Knob", Knob::Instantiate);
    Knob knob("FlatToolBar", 1);
    BMessage archive;
    ASSERT_EQ(knob.Archive(&archive, true), B_OK);
    const char* className = nullptr;
    ASSERT_EQ(archive.FindString("class", &className), B_OK);
    EXPECT_STREQ(className, "Knob");
    EXPECT_TRUE(validate_instantiation(&archive, "Knob"));
    EXPECT_FALSE(validate_instantiation(&archive, "BHandler"));

    BMessage flat = round_trip(archive);
    std::unique_ptr<BArchivable> object(instantiate_object(&flat));
    Knob* copy = dynamic_cast<Knob*>(object.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->Name(), "FlatToolBar");
    EXPECT_EQ(copy->fValue, 1);

    BHandler plain("plain");
    BMessage handlerArchive;
    plain.Archive(&handlerArchive);
    std::unique_ptr<BArchivable> handler(instantiate_object(&handlerArchive));
    ASSERT_NE(dynamic_cast<BHandler*>(handler.get()), nullptr);
    EXPECT_STREQ(static_cast<BHandler*>(handler.get())->Name(), "plain");

    BMessage unknown;
    unknown.AddString("class", "NoSuchClass");
    EXPECT_EQ(instantiate_object(&unknown), nullptr);
    EXPECT_EQ(instantiate_object(nullptr), nullptr);
    EXPECT_EQ(find_instantiation_func("NoSuchClass"), nullptr);
}

} // namespace
