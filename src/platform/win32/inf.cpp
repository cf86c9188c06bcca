#include <windows.h>
#include <setupapi.h>

#include "platform/inf.h"

static_assert(sizeof(INF_Line) == sizeof(INFCONTEXT));

namespace {

INFCONTEXT to_context(const INF_Line& line)
{
    INFCONTEXT context{};
    context.Inf = line.inf;
    context.CurrentInf = line.current_inf;
    context.Section = line.section;
    context.Line = line.line;
    return context;
}

}  // namespace

INF_Handle INF_Open(const char* path, uint32_t style)
{
    HINF inf = SetupOpenInfFileA(path, nullptr, style, nullptr);
    return inf == INVALID_HANDLE_VALUE ? nullptr : inf;
}

bool INF_FindFirstLine(INF_Handle inf, const char* section, const char* key, INF_Line* line)
{
    INFCONTEXT context{};
    if (!SetupFindFirstLineA(inf, section, key, &context)) return false;
    *line = INF_Line{context.Inf, context.CurrentInf, context.Section, context.Line};
    return true;
}

bool INF_GetStringField(const INF_Line* line, uint32_t field, char* buffer, uint32_t capacity, uint32_t* required)
{
    INFCONTEXT context = to_context(*line);
    DWORD size = 0;
    const BOOL ok = SetupGetStringFieldA(&context, field, buffer, capacity, &size);
    if (required != nullptr) *required = size;
    return ok != FALSE;
}

void INF_Close(INF_Handle inf)
{
    SetupCloseInfFile(inf);
}
