"""Zip entries that are the same bytes in every build of one commit: dated
SOURCE_DATE_EPOCH (else the source's last commit, else 1980-01-01), with
fixed permissions and no owner or extra fields. The release archive and the
NuGet package are written with these.
"""
import os
import subprocess
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01: zip cannot date before it


def commit_time(source):
    try:
        return subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                              capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return str(ZIP_EPOCH)


def entry_date(source):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or commit_time(source))
    return time.gmtime(max(epoch, ZIP_EPOCH))[:6]


def add(archive, name, data, date):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the permissions below count
    info.external_attr = 0o644 << 16
    archive.writestr(info, data, compresslevel=9)
