#pragma once
/// @file
/// The camera command set: one operation per camera command. Each takes the
/// link last and leaves its outcome in LinkLastError.
#include "commands/action_commands.h"
#include "commands/block_commands.h"
#include "commands/firmware_commands.h"
#include "commands/object_commands.h"
#include "commands/probe_commands.h"
#include "commands/property_commands.h"
#include "commands/sound.h"
#include "commands/usage_commands.h"
