#!/bin/bash
# Seeds for message_fuzz: each client message as a client sends it, and a deal as a seat hears it.
# Usage: write_seeds.sh KIND FOLDER (the kind is always "messages")
set -eu
dir=$2
i=0
seed() { i=$((i + 1)); printf '%b%s' "$1" "$2" > "$dir/seed$i"; }
seed '\x00' '{"type":"create","v":1,"seat":0,"name":"Ann","awayLevel":"expert","turnSeconds":30}'
seed '\x00' '{"type":"join","v":1,"code":"7KQ2-MX9D-P4TR-V0ZC","name":"Bo","seat":2}'
seed '\x00' '{"type":"rejoin","v":1,"token":"0123456789ABCDEFGHJKMNPQRS"}'
seed '\x01' '{"type":"seat","seat":1,"kind":"computer","level":"expert"}'
seed '\x01' '{"type":"seat","seat":3,"kind":"reserved"}'
seed '\x01' '{"type":"start"}'
seed '\x01' '{"type":"play","card":51}'
seed '\x01' '{"type":"leave","v":1}'
deal='{"type":"deal","deal":1,"dealer":0,"leader":0,"hand":[0,4,8,12,16,20,24,28,32,36,40,44,48]}'
seed '\x80' "$deal
{\"type\":\"played\",\"seat\":0,\"card\":4,\"trumps\":0}
{\"type\":\"played\",\"seat\":3,\"card\":5,\"trumps\":0}
{\"type\":\"played\",\"seat\":2,\"card\":9,\"trumps\":0}
{\"type\":\"played\",\"seat\":1,\"card\":13,\"trumps\":0}"
seed '\x81' '{"type":"state","deal":2,"trick":[7],"leader":3,"toPlay":1,"cardsPlayed":1,"points":[0,0],"score":[10,20],"trumps":3,"taken":[[],[]],"playedBy":[-1,-1,-1,-1,-1,-1,-1,3,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1],"voids":[0,0,0,0],"hand":[0,4,8,12,16,20,24,28,32,36,40,44,48]}'
