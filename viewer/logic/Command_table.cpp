#include "viewer/logic/Command_table.h"

std::optional<CommandId> FindCommand(std::string_view name)
{
    for (std::size_t i = 0; i < kCommandCount; ++i)
        if (NamesCommand(command_rows::kRows[i]) && name == command_rows::kRows[i].name)
            return static_cast<CommandId>(i);
    return std::nullopt;
}
