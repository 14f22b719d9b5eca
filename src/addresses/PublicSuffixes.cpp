#include "addresses/PublicSuffixes.h"

#include <libpsl.h>

const psl_ctx_t *publicSuffixes()
{
    static const psl_ctx_t *const list = psl_latest(nullptr);
    return list;
}
