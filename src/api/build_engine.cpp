// Construction and release of the twiddle table and the engine of a state.
#include "api/State.h"

void buildTables(velmor_ip_vfft_v8_0_state* st)
{
    st->twiddle_rom = nullptr;
    st->r4 = nullptr;
    st->r2 = nullptr;
    st->r22 = nullptr;
}

void releaseTables(velmor_ip_vfft_v8_0_state*)
{
}
