#!/usr/bin/env bash
# Bundles the Windows programs: binwright-VERSION-windows-x64.zip (the programs, the README
# for Windows users and the licence, with CRLF line ends) and binwright-VERSION-x64.msi, an
# installer made with wixl (msitools) that puts the same files under Program Files with
# Start-menu entries and removes them again on uninstall.
# Usage: package.sh OUT_DIR VERSION SOURCE_DIR ICON PROGRAM.exe...
set -euo pipefail
out=$1 version=$2 source=$3 icon=$4
shift 4
programs=("$@")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
files=()
for p in "${programs[@]}"; do
  cp "$p" "$stage/"
  files+=("$(basename "$p")")
done
sed 's/\r*$/\r/' "$source/packaging/windows/README-windows.txt" >"$stage/README-windows.txt"
sed 's/\r*$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
files+=(README-windows.txt LICENSE.txt)

zip="$out/binwright-$version-windows-x64.zip"
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$zip" "${files[@]}")
echo "bundled $zip"

# The installer: one component per file; the Start menu gets a command prompt with the
# programs on its PATH, the README, and a shortcut per program that has a window.
components="" shortcuts="" refs=""
n=0
for f in "${files[@]}"; do
  n=$((n + 1))
  components+="        <Component Id=\"File$n\" Guid=\"*\"><File Id=\"File$n\" Source=\"$f\" Name=\"$f\" KeyPath=\"yes\"/></Component>
"
  refs+="      <ComponentRef Id=\"File$n\"/>
"
  case $f in
    *-gui.exe) shortcuts+="          <Shortcut Id=\"Window$n\" Name=\"Binwright\" Target=\"[INSTALLDIR]$f\" WorkingDirectory=\"PersonalFolder\"/>
" ;;
  esac
done
cat >"$stage/binwright.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Binwright $version" Language="1033" Version="$version"
           Manufacturer="The Binwright developers" UpgradeCode="6C0A3B4E-1F57-4D2B-9E61-3B7E2A51C0D9">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="Binwright $version" Comments="Writes the configuration image of USB mouse controllers"/>
    <Media Id="1" Cabinet="binwright.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer Binwright is already installed."/>
    <Icon Id="binwright.ico" SourceFile="binwright.ico"/>
    <Property Id="ARPPRODUCTICON" Value="binwright.ico"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="Binwright">
$components        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Directory Id="MenuDir" Name="Binwright">
          <Component Id="Menu" Guid="*">
            <Shortcut Id="Prompt" Name="Binwright command line" Target="[System64Folder]cmd.exe"
                      Arguments='/k set "PATH=[INSTALLDIR];%PATH%"' WorkingDirectory="PersonalFolder"
                      Description="A command prompt where binwright can be run" Icon="binwright.ico"/>
            <Shortcut Id="Readme" Name="Binwright README" Target="[INSTALLDIR]README-windows.txt"/>
$shortcuts            <RemoveFolder Id="MenuDir" On="uninstall"/>
            <RegistryValue Root="HKCU" Key="Software\\Binwright" Name="menu" Type="integer" Value="1" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
      <Directory Id="PersonalFolder"/>
      <Directory Id="System64Folder"/>
    </Directory>
    <Feature Id="Main" Level="1">
$refs      <ComponentRef Id="Menu"/>
    </Feature>
  </Product>
</Wix>
WXS
cp "$icon" "$stage/binwright.ico"  # the icon Programs and Features shows
msi="$out/binwright-$version-x64.msi"
rm -f "$msi"
(cd "$stage" && wixl -a x64 -o "$msi" binwright.wxs)
echo "built $msi"
