# Chooses the Windows architecture the suite runs as; source it, don't run it.
#
# The product is the 32-bit (i686) DLL, and it is always built and its
# export table checked. Running it needs a kernel that runs 32-bit
# programs, which some machines lack (i386 execve fails with ENOEXEC, and
# so does wine32). There the suite runs as x86_64 under wine64: the same
# sources, cross-built with the 64-bit toolchain.
#
# Sets WIN_ARCH (i686 or x86_64) and WIN_ARCH_WHY (the reason, for the
# summary line). BRENN_WIN_ARCH=i686|x86_64 forces the mode.

# True when this kernel runs a 32-bit x86 program: a static i386 program
# that calls exit(42) through int 0x80, assembled and linked here with the
# host's binutils, run once with a timeout.
win_arch_runs_32bit() {
    local dir status=0
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n\tmov $42, %%ebx\n\tmov $1, %%eax\n\tint $0x80\n' >"$dir/probe.s"
    if as --32 "$dir/probe.s" -o "$dir/probe.o" 2>/dev/null &&
        ld -m elf_i386 -static "$dir/probe.o" -o "$dir/probe" 2>/dev/null; then
        timeout 5 "$dir/probe" 2>/dev/null || status=$?
    fi
    rm -rf "$dir"
    [[ $status -eq 42 ]]
}

win_arch_choose() {
    case ${BRENN_WIN_ARCH:-} in
        i686 | x86_64)
            WIN_ARCH=$BRENN_WIN_ARCH
            WIN_ARCH_WHY="forced by BRENN_WIN_ARCH"
            ;;
        "")
            if win_arch_runs_32bit; then
                WIN_ARCH=i686
                WIN_ARCH_WHY="this machine runs 32-bit programs"
            else
                WIN_ARCH=x86_64
                WIN_ARCH_WHY="this machine does not run 32-bit programs"
            fi
            ;;
        *)
            echo "BRENN_WIN_ARCH must be i686 or x86_64, not '$BRENN_WIN_ARCH'" >&2
            return 1
            ;;
    esac
}
