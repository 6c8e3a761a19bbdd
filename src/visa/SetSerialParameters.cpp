#include "SetSerialParameters.h"

#include "CVisaLibrary.h"

ViStatus SetSerialParameters(ViSession session, int baudrate)
{
    const std::pair<ViAttr, ViAttrState> settings[] = {
        {VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_RTS_CTS},
        {VI_ATTR_ASRL_BAUD, static_cast<ViAttrState>(baudrate)},
        {VI_ATTR_ASRL_DATA_BITS, 8},
        {VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE},
        {VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE},
        {VI_ATTR_ASRL_END_IN, VI_ASRL_END_TERMCHAR},
        {VI_ATTR_ASRL_END_OUT, VI_ASRL_END_NONE},
        {VI_ATTR_IO_PROT, VI_ASRL488},
        {VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS},
        {VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS},
    };
    ViStatus status = VI_SUCCESS;
    for (const auto &[attribute, value] : settings) {
        status = Visa().viSetAttribute(session, attribute, value);
        if (status < VI_SUCCESS)
            return status;
    }
    return status;
}
