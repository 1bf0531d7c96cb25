# The Wine environment of every script and test, sourced with the prefix as its
# argument: that prefix, no debug channels, and no Mono or Gecko installers.
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
