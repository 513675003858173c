# The generated tree of the benchmarks; sourced by bench/compare and bench/noop.

# N files of 1 to 8 KiB, 100 to a folder, with write times in the past.
generate_tree() {
    local root="$1" count="$2"
    mkdir -p "$root"
    awk -v root="$root" -v count="$count" 'BEGIN {
        srand(7)
        block = ""
        for (i = 0; i < 128; i++) block = block sprintf("%c", 48 + i % 64)
        for (i = 0; i < count; i++) {
            folder = sprintf("%s/d%04d", root, int(i / 100))
            if (i % 100 == 0) system("mkdir -p " folder)
            size = 1024 + int(rand() * 7168)
            text = sprintf("%08d", i)
            while (length(text) < size) text = text block
            printf "%s", substr(text, 1, size) > (folder "/f" i ".txt")
            close(folder "/f" i ".txt")
        }
    }'
    find "$root" -type f -exec touch -d '2024-01-01 00:00:00' {} +
}
