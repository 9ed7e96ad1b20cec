# Sourced by the scripts that work in a bare Debian 12 root: makes one
# (debootstrap minbase, cached as a tarball under build/) and runs commands in it.
# Needs root, for debootstrap, mount and chroot.

bare_cache=${BARE_CACHE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/bare-debian}
bare_tarball=$bare_cache/bookworm-minbase.tar
bare_mirror=${BARE_MIRROR:-http://deb.debian.org/debian}

# The pristine root, made once: minbase with what a user has before cloning.
bare_make_tarball() {
  [ -f "$bare_tarball" ] && return 0
  command -v debootstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  mkdir -p "$bare_cache"
  local tmp=$bare_cache/debootstrap.tmp
  rm -rf --one-file-system "$tmp"
  debootstrap --variant=minbase --include=git,make,ca-certificates bookworm "$tmp" "$bare_mirror" \
    >"$bare_cache/debootstrap.log" 2>&1 || { tail -20 "$bare_cache/debootstrap.log" >&2; return 1; }
  # Every installed system names localhost; debootstrap leaves /etc/hosts as it finds it.
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$tmp/etc/hosts"
  tar --one-file-system -C "$tmp" -cf "$bare_tarball.part" . && mv "$bare_tarball.part" "$bare_tarball"
  rm -rf --one-file-system "$tmp"
}

# A fresh copy of the pristine root in a new folder outside the checkout (so
# that nothing walking the tree meets its /dev), named in $bare_root.
bare_root_open() {
  bare_make_tarball
  bare_root=$(mktemp -d /var/tmp/dosebridge-bare.XXXXXX)
  local root=$bare_root
  tar -C "$root" -xf "$bare_tarball"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # The network's own TLS authorities (a proxy that inspects traffic, say) are
  # part of the network, like the name server: trust them in the root too.
  if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null 2>&1
  fi
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
  mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
  mount -t tmpfs tmpfs "$root/run"
  mount -t tmpfs tmpfs "$root/tmp"
  # Downloaded package lists and packages are kept between roots: each root
  # still starts bare, but apt fetches only what changed.
  mkdir -p "$bare_cache/apt-lists/partial" "$bare_cache/apt-archives/partial"
  mount --bind "$bare_cache/apt-lists" "$root/var/lib/apt/lists"
  mount --bind "$bare_cache/apt-archives" "$root/var/cache/apt/archives"
}

# Ends what still runs in the root at $1, unmounts and removes it.
bare_root_close() {
  local root=$1 p
  [ -d "$root" ] || return 0
  root=$(cd "$root" && pwd -P)
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
  done
  sleep 0.2
  local m
  for m in var/cache/apt/archives var/lib/apt/lists tmp run dev sys proc; do
    mountpoint -q "$root/$m" && umount -R "$root/$m" 2>/dev/null || umount -lR "$root/$m" 2>/dev/null || true
  done
  # Never follow a mount into the host.
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "bare root: $root still has mounts; not removing it" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}

# Runs a shell command as root inside the root at $1, in a clean environment.
bare_root_run() {
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    ${NODE_EXTRA_CA_CERTS:+NODE_EXTRA_CA_CERTS=$NODE_EXTRA_CA_CERTS} \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "$*"
}
