#include "platform/pe.h"

namespace {

uint16_t read_u16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t read_u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint64_t DOS_HEADER_SIZE = 64;
constexpr uint64_t LFANEW_OFFSET = 0x3C;
constexpr uint64_t FILE_HEADER_SIZE = 20;
constexpr uint64_t SECTION_HEADER_SIZE = 40;
constexpr uint16_t OPTIONAL_MAGIC_PE32 = 0x10B;
constexpr uint16_t OPTIONAL_MAGIC_PE32_PLUS = 0x20B;
constexpr uint32_t RESOURCE_DIRECTORY = 2;
constexpr uint32_t RT_VERSION = 16;
constexpr uint32_t VS_VERSION_INFO = 1;
constexpr uint32_t RESOURCE_SUBDIRECTORY = 0x80000000u;
constexpr uint64_t RESOURCE_DIRECTORY_SIZE = 16;
constexpr uint64_t RESOURCE_ENTRY_SIZE = 8;
constexpr uint64_t RESOURCE_DATA_ENTRY_SIZE = 16;
constexpr uint64_t VERSION_NODE_HEADER = 6;  // length, value length, type

// Bytes of the image: every read goes through `holds` first.
struct Bytes {
    const uint8_t* data;
    uint64_t size;

    bool holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

uint64_t align4(uint64_t offset)
{
    return (offset + 3) & ~uint64_t{3};
}

// The file offset of the NT headers ("PE\0\0" and a whole file header).
bool find_nt_headers(Bytes image, uint64_t* nt)
{
    if (image.data == nullptr || !image.holds(0, DOS_HEADER_SIZE)) return false;
    if (image.data[0] != 'M' || image.data[1] != 'Z') return false;
    *nt = read_u32(image.data + LFANEW_OFFSET);
    if (!image.holds(*nt, 4 + FILE_HEADER_SIZE)) return false;
    const uint8_t* signature = image.data + *nt;
    return signature[0] == 'P' && signature[1] == 'E' && signature[2] == 0 && signature[3] == 0;
}

// The image's section table and its resource directory's address.
struct Layout {
    uint64_t sections;
    uint32_t section_count;
    uint32_t resource_rva;
};

bool read_layout(Bytes image, Layout* layout)
{
    uint64_t nt = 0;
    if (!find_nt_headers(image, &nt)) return false;
    const uint8_t* file_header = image.data + nt + 4;
    const uint64_t optional = nt + 4 + FILE_HEADER_SIZE;
    const uint16_t optional_size = read_u16(file_header + 16);
    if (!image.holds(optional, optional_size) || optional_size < 2) return false;

    const uint16_t magic = read_u16(image.data + optional);
    uint64_t count_at = 0;
    if (magic == OPTIONAL_MAGIC_PE32) count_at = 92;
    else if (magic == OPTIONAL_MAGIC_PE32_PLUS) count_at = 108;
    else return false;
    const uint64_t directory_at = count_at + 4 + 8 * RESOURCE_DIRECTORY;
    if (directory_at + 8 > optional_size) return false;
    if (read_u32(image.data + optional + count_at) <= RESOURCE_DIRECTORY) return false;

    layout->resource_rva = read_u32(image.data + optional + directory_at);
    layout->sections = optional + optional_size;
    layout->section_count = read_u16(file_header + 2);
    return layout->resource_rva != 0 && image.holds(layout->sections, SECTION_HEADER_SIZE * layout->section_count);
}

// The file bytes from an address to the end of its section's raw data.
bool bytes_at_rva(Bytes image, const Layout& layout, uint32_t rva, Bytes* bytes)
{
    for (uint32_t i = 0; i < layout.section_count; ++i) {
        const uint8_t* section = image.data + layout.sections + SECTION_HEADER_SIZE * i;
        const uint32_t address = read_u32(section + 12);
        const uint32_t raw_size = read_u32(section + 16);
        const uint32_t raw_offset = read_u32(section + 20);
        if (rva < address || rva - address >= raw_size) continue;
        const uint64_t offset = uint64_t{raw_offset} + (rva - address);
        if (offset >= image.size) return false;
        const uint64_t in_section = raw_size - (rva - address);
        const uint64_t in_file = image.size - offset;
        *bytes = Bytes{image.data + offset, in_section < in_file ? in_section : in_file};
        return true;
    }
    return false;
}

// The OffsetToData of a resource directory's entry with this id, or of its
// first entry when `id` is 0.
bool resource_entry(Bytes resources, uint64_t directory, uint32_t id, uint32_t* target)
{
    if (!resources.holds(directory, RESOURCE_DIRECTORY_SIZE)) return false;
    const uint8_t* header = resources.data + directory;
    const uint64_t count = uint64_t{read_u16(header + 12)} + read_u16(header + 14);
    const uint64_t entries = directory + RESOURCE_DIRECTORY_SIZE;
    if (!resources.holds(entries, RESOURCE_ENTRY_SIZE * count)) return false;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = resources.data + entries + RESOURCE_ENTRY_SIZE * i;
        const uint32_t name = read_u32(entry);
        // A named entry has its top bit set, so it never equals an id.
        if (id == 0 || name == id) {
            *target = read_u32(entry + 4);
            return true;
        }
    }
    return false;
}

// The version block: RT_VERSION, resource 1, its first language.
bool find_version_block(Bytes image, Bytes* block)
{
    Layout layout{};
    Bytes resources{};
    if (!read_layout(image, &layout) || !bytes_at_rva(image, layout, layout.resource_rva, &resources)) return false;

    uint32_t type = 0, name = 0, language = 0;
    if (!resource_entry(resources, 0, RT_VERSION, &type) || (type & RESOURCE_SUBDIRECTORY) == 0) return false;
    if (!resource_entry(resources, type & ~RESOURCE_SUBDIRECTORY, VS_VERSION_INFO, &name) ||
        (name & RESOURCE_SUBDIRECTORY) == 0) {
        return false;
    }
    if (!resource_entry(resources, name & ~RESOURCE_SUBDIRECTORY, 0, &language) ||
        (language & RESOURCE_SUBDIRECTORY) != 0 || !resources.holds(language, RESOURCE_DATA_ENTRY_SIZE)) {
        return false;
    }
    const uint32_t data_rva = read_u32(resources.data + language);
    const uint32_t data_size = read_u32(resources.data + language + 4);
    if (!bytes_at_rva(image, layout, data_rva, block)) return false;
    if (data_size < block->size) block->size = data_size;
    return true;
}

// One node of a version block: length, value length, type, UTF-16 key with
// its NUL, padding, value, padding, children. Offsets are the block's. A node
// must lie wholly inside its parent, so a cut file gives no text rather than
// part of one.
struct VersionNode {
    uint64_t start;
    uint64_t end;
    uint64_t key;
    uint64_t key_units;
    uint64_t value;
    uint16_t value_length;
    uint64_t children;
};

bool read_node(Bytes block, uint64_t start, uint64_t parent_end, VersionNode* node)
{
    if (start > parent_end || parent_end - start < VERSION_NODE_HEADER || !block.holds(start, VERSION_NODE_HEADER)) {
        return false;
    }
    const uint16_t length = read_u16(block.data + start);
    if (length < VERSION_NODE_HEADER || length > parent_end - start) return false;
    node->start = start;
    node->end = start + length;
    node->value_length = read_u16(block.data + start + 2);
    const uint16_t type = read_u16(block.data + start + 4);
    node->key = start + VERSION_NODE_HEADER;
    node->key_units = 0;
    while (true) {
        const uint64_t unit = node->key + 2 * node->key_units;
        if (unit + 2 > node->end) return false;
        if (read_u16(block.data + unit) == 0) break;
        ++node->key_units;
    }
    node->value = align4(node->key + 2 * (node->key_units + 1));
    const uint64_t value_bytes = type == 1 ? 2 * uint64_t{node->value_length} : node->value_length;
    node->children = align4(node->value + value_bytes);
    return true;
}

bool key_equals(Bytes block, const VersionNode& node, const char* name, uint64_t name_length)
{
    if (node.key_units != name_length) return false;
    const auto fold = [](uint32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    for (uint64_t i = 0; i < name_length; ++i) {
        const uint32_t unit = read_u16(block.data + node.key + 2 * i);
        if (fold(unit) != fold(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

bool find_child(Bytes block, const VersionNode& parent, const char* name, uint64_t name_length, VersionNode* child)
{
    uint64_t at = parent.children;
    while (read_node(block, at, parent.end, child)) {
        if (key_equals(block, *child, name, name_length)) return true;
        at = align4(child->start + read_u16(block.data + child->start));
    }
    return false;
}

}  // namespace

bool PE_GetMachineType(const uint8_t* image, uint64_t size, uint16_t* machine)
{
    uint64_t nt = 0;
    if (!find_nt_headers(Bytes{image, size}, &nt)) return false;
    *machine = read_u16(image + nt + 4);
    return true;
}

uint32_t PE_ImageStartError(const uint8_t* image, uint64_t size, bool os_is_64bit)
{
    constexpr uint64_t SIZE_OF_IMAGE_AT = 56;     // in both optional header forms
    constexpr uint64_t SIZE_OF_HEADERS_END = 64;  // SizeOfHeaders is the field before CheckSum
    const Bytes bytes{image, size};
    uint64_t nt = 0;
    if (!find_nt_headers(bytes, &nt)) return ERR_BAD_EXE_FORMAT;
    const uint8_t* file_header = image + nt + 4;
    const uint16_t machine = read_u16(file_header);
    const uint16_t optional_size = read_u16(file_header + 16);
    const uint64_t optional = nt + 4 + FILE_HEADER_SIZE;
    if (optional_size < SIZE_OF_HEADERS_END || !bytes.holds(optional, optional_size)) return ERR_BAD_EXE_FORMAT;
    const uint16_t magic = read_u16(image + optional);
    const bool runs_here = (magic == OPTIONAL_MAGIC_PE32 && machine == PE_MACHINE_I386) ||
                           (magic == OPTIONAL_MAGIC_PE32_PLUS && machine == PE_MACHINE_AMD64 && os_is_64bit);
    if (!runs_here) return ERR_BAD_EXE_FORMAT;

    const uint64_t image_size = read_u32(image + optional + SIZE_OF_IMAGE_AT);
    const uint64_t sections = optional + optional_size;
    const uint64_t table_size = SECTION_HEADER_SIZE * read_u16(file_header + 2);
    if (!bytes.holds(sections, table_size) || sections + table_size > image_size) return ERR_BAD_EXE_FORMAT;
    for (uint64_t at = sections; at < sections + table_size; at += SECTION_HEADER_SIZE) {
        const uint32_t raw_size = read_u32(image + at + 16);
        if (raw_size != 0 && !bytes.holds(read_u32(image + at + 20), raw_size)) return ERR_BAD_EXE_FORMAT;
    }
    return 0;
}

bool PE_QueryVersionString(const uint8_t* image, uint64_t size, const char* sub_block, uint16_t* text,
                           uint32_t capacity)
{
    Bytes block{};
    VersionNode node{};
    if (capacity == 0 || !find_version_block(Bytes{image, size}, &block) || !read_node(block, 0, block.size, &node)) {
        return false;
    }
    for (const char* part = sub_block; *part != '\0';) {
        if (*part == '\\') {
            ++part;
            continue;
        }
        uint64_t length = 0;
        while (part[length] != '\0' && part[length] != '\\') ++length;
        VersionNode child{};
        if (!find_child(block, node, part, length, &child)) return false;
        node = child;
        part += length;
    }

    uint32_t copied = 0;
    for (uint64_t unit = node.value; node.value_length != 0 && copied + 1 < capacity && unit + 2 <= node.end;
         unit += 2) {
        const uint16_t c = read_u16(block.data + unit);
        if (c == 0) break;
        text[copied++] = c;
    }
    text[copied] = 0;
    return true;
}
