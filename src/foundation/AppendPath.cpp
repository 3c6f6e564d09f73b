#include "foundation/AppendPath.h"

void AppendPath(const std::wstring& part, std::wstring& base)
{
    const bool partLeads = !part.empty() && part.front() == L'\\';
    const bool baseTrails = !base.empty() && base.back() == L'\\';
    if (!partLeads) {
        if (!baseTrails) {
            base += L'\\';
        }
        base += part;
    } else if (!baseTrails) {
        base += part;
    } else {
        base.append(part, 1, std::wstring::npos);
    }
}
