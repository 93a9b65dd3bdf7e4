#include "engine/aside_search.h"

bool AsideSearch::Start(const char* path, const PatternBytes& pattern)
{
    m_thread.Join();
    m_path = path;
    m_pattern = pattern;
    m_found = SearchAnswer::Of(Searched::Unreadable);
    m_stop = false;
    return m_thread.Start<AsideSearch, &AsideSearch::Run>(this);
}
