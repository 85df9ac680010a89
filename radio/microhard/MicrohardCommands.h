#pragma once
// The whole Microhard command family: the four shapes, the fixed commands,
// every S-register read and write, and the L400 dealer-mode commands.

#include "radio/microhard/MicrohardBaseCommands.h"
#include "radio/microhard/MicrohardBaudCodes.h"
#include "radio/microhard/MicrohardFixedCommands.h"
#include "radio/microhard/MicrohardL400Commands.h"
#include "radio/microhard/MicrohardRegisterCommands.h"
#include "radio/microhard/MicrohardTypes.h"
