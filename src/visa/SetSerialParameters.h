#pragma once
/// @file
/// The serial line set-up of a session: RTS/CTS, the baud rate, 8 data bits,
/// no parity, one stop bit, termination character on input, no end on output,
/// IEEE 488.2 string protocol, flush on access. Returns the first failing
/// status, else the last one.

#include "KarvelVisa.h"

ViStatus SetSerialParameters(ViSession session, int baudrate);
