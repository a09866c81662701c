# checks.sh: what the install and desktop check scripts share. Source it after setting
# check_name (the script's name, for messages).

failures=0
pass() { echo "  ok   $*"; }
fail() { echo "  FAIL $*"; failures=$((failures + 1)); }
check() { # check "what" command...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then pass "$what"; else fail "$what"; fi
}
need() { # need tool package
    command -v "$1" >/dev/null 2>&1 || {
        echo "$check_name: $1 not found; install the Debian package $2 (scripts/install-deps)" >&2
        exit 1
    }
}

# Inside a private mount namespace (unshare -m): throw-away overlays over /usr, /etc and /var,
# kept in a tmpfs at $1, so what dpkg and useradd write vanishes with the namespace.
overlay_system() {
    local scratch=$1
    mkdir -p "$scratch"
    mount -t tmpfs tmpfs "$scratch"
    for d in usr etc var; do
        mkdir -p "$scratch/$d/upper" "$scratch/$d/work"
        mount -t overlay overlay \
            -o "lowerdir=/$d,upperdir=$scratch/$d/upper,workdir=$scratch/$d/work" "/$d"
    done
}
