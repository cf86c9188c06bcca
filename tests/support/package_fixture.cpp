#include "support/package_fixture.h"

#include <cstring>

#include "platform/pe.h"

#include "setup/context.h"
#include "setup-sim/program_start.h"

namespace {

void put_u16(std::string* bytes, size_t at, uint32_t value)
{
    (*bytes)[at] = static_cast<char>(value & 0xFF);
    (*bytes)[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put_u32(std::string* bytes, size_t at, uint32_t value)
{
    put_u16(bytes, at, value & 0xFFFF);
    put_u16(bytes, at + 2, value >> 16);
}

}  // namespace

std::string pe_image(uint16_t machine_type)
{
    // Headers in the first 0x200 bytes, one section of code in the next 0x200.
    constexpr size_t NT = 0x40, OPTIONAL = NT + 24;
    const bool plus = machine_type == PE_MACHINE_AMD64 || machine_type == PE_MACHINE_ARM64;
    const uint16_t optional_size = plus ? 0xF0 : 0xE0;
    std::string image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    put_u32(&image, 0x3C, NT);
    image.replace(NT, 4, std::string("PE\0\0", 4));
    put_u16(&image, NT + 4, machine_type);
    put_u16(&image, NT + 6, 1);                      // sections
    put_u16(&image, NT + 20, optional_size);
    put_u16(&image, NT + 22, plus ? 0x0022 : 0x0103);  // executable, relocations stripped / large addresses
    put_u16(&image, OPTIONAL, plus ? 0x20B : 0x10B);
    put_u32(&image, OPTIONAL + 16, 0x1000);          // entry point
    if (plus) {
        put_u32(&image, OPTIONAL + 24, 0x40000000);  // image base 0x140000000
        put_u32(&image, OPTIONAL + 28, 0x1);
    } else {
        put_u32(&image, OPTIONAL + 28, 0x400000);    // image base
    }
    put_u32(&image, OPTIONAL + 32, 0x1000);          // section alignment
    put_u32(&image, OPTIONAL + 36, 0x200);           // file alignment
    put_u16(&image, OPTIONAL + 40, 6);               // operating system and subsystem 6.0
    put_u16(&image, OPTIONAL + 48, 6);
    put_u32(&image, OPTIONAL + 56, 0x2000);          // size of image
    put_u32(&image, OPTIONAL + 60, 0x200);           // size of headers
    put_u16(&image, OPTIONAL + 68, 2);               // GUI subsystem
    put_u32(&image, OPTIONAL + optional_size - 128 - 4, 16);  // data directories
    const size_t section = OPTIONAL + optional_size;
    image.replace(section, 5, ".text");
    put_u32(&image, section + 8, 0x1000);            // virtual size and address
    put_u32(&image, section + 12, 0x1000);
    put_u32(&image, section + 16, 0x200);            // raw size and offset
    put_u32(&image, section + 20, 0x200);
    put_u32(&image, section + 36, 0x60000020);       // code, execute, read
    image[0x200] = '\x31';                           // xor eax, eax; ret
    image[0x201] = '\xC0';
    image[0x202] = '\xC3';
    return image;
}

void PackageTest::SetUp()
{
    SimMachineTest::SetUp();
    machine.module_path = "C:\\Package\\Setup.exe";
}

void PackageTest::set_os(uint32_t major, uint32_t minor, bool is_64bit, uint32_t platform_id)
{
    machine.major = major;
    machine.minor = minor;
    machine.is_64bit = is_64bit;
    machine.platform_id = platform_id;
}

void PackageTest::write_engine(const std::string& relative_path, uint16_t machine_type)
{
    write_file("C:\\Package\\" + relative_path, pe_image(machine_type));
}

void PackageTest::write_inf(const std::string& relative_path)
{
    write_file("C:\\Package\\" + relative_path,
               "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.2.4.7\r\n");
}

void PackageTest::set_engine_exit_code(uint32_t exit_code)
{
    machine.programs["dpinst.exe"].exit_code = exit_code;
}

int PackageTest::run(const std::string& arguments)
{
    return start_program(arguments);
}

std::string PackageTest::engine_command_line() const
{
    for (const record::Process& process : machine.record.processes) {
        if (process.kind == "create") return process.command_line;
    }
    return "";
}
