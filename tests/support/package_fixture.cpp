#include "support/package_fixture.h"

#include <cstring>

#include "setup/context.h"
#include "setup-sim/program_start.h"

std::string pe_image(uint16_t machine_type)
{
    std::string image(64, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 64;
    image += std::string("PE\0\0", 4);
    image.push_back(static_cast<char>(machine_type & 0xFF));
    image.push_back(static_cast<char>(machine_type >> 8));
    image += std::string(18 + 96, '\0');
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
