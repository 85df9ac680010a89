#pragma once
// A served receiver with a 3D fix and a sky, as the request handling sees it:
// shared by the protocol tests and the requests fuzz target.

#include "gnssmon/GpsdProtocol.h"

inline GpsdContext SampleGpsdContext()
{
    GpsdContext context;
    context.device = "/dev/ttyO1";
    context.bps = 57600;
    context.now = "2026-12-08T09:00:00.000Z";
    context.tpv = R"({"class":"TPV","mode":3})";
    context.sky = R"({"class":"SKY"})";
    return context;
}
