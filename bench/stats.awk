# Order statistics for the benchmark scripts' summaries (awk -f stats.awk -f
# <(echo 'the summary')): the caller's rules fill v[key, 1..count[key]].
function sorted(key,    i, j, t, n) {
    n = count[key]
    for (i = 1; i <= n; i++) s[i] = v[key, i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
    return n
}
function minimum(key) { sorted(key); return s[1] }
function maximum(key,    n) { n = sorted(key); return s[n] }
function median(key,    n) { n = sorted(key); return n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2 }
