#include "StringUtils.h"

namespace {

// True when the final component holds a "."; a missing character counts
// as lying before every real position.
bool has_dot_in_leaf(const BString& path)
{
    return path.FindLast('.') > path.FindLast('/');
}

BString left(const BString& text, int32 length)
{
    BString result;
    text.CopyInto(result, 0, length);
    return result;
}

BString from(const BString& text, int32 start)
{
    BString result;
    text.CopyInto(result, start, text.Length() - start);
    return result;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

BString add_ext(const BString& path, const BString& ext)
{
    if (has_dot_in_leaf(path))
        return path;
    return path + "." + ext;
}

BString reext(const BString& path, const BString& ext)
{
    if (has_dot_in_leaf(path))
        return left(path, path.FindLast('.') + 1) + ext;
    return path + "." + ext;
}

BString extract_file_ext(const BString& path)
{
    const int32 dot = path.FindLast('.');
    return dot < 0 ? BString() : from(path, dot + 1);
}

BString extract_file_folder_path_kernel(const BString& path, int32 extra)
{
    const int32 slash = path.FindLast('/');
    if (slash < 0)
        return BString();
    // 64-bit sum: a huge extra must not wrap round to a short count.
    const int64 count = static_cast<int64>(slash) + extra;
    if (count >= path.Length())
        return path;
    return count <= 0 ? BString() : left(path, static_cast<int32>(count));
}

BString extract_file_name(const BString& path)
{
    const int32 slash = path.FindLast('/');
    return slash < 0 ? path : from(path, slash + 1);
}

BString extract_file_body(const BString& path)
{
    const int32 start = path.FindLast('/') + 1;
    const int32 dot = path.FindLast('.');
    if (dot >= start)
        return left(from(path, start), dot - start);
    return from(path, start);
}

BString trim(const BString& text)
{
    int32 first = 0;
    int32 last = text.Length();
    while (first < last && is_blank(text[first]))
        ++first;
    while (last > first && is_blank(text[last - 1]))
        --last;
    BString result;
    text.CopyInto(result, first, last - first);
    return result;
}
