program preprocessor;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Pré-processeur : DEFINE, UNDEF, IFDEF, IFNDEF, ELSE, ENDIF, imbrication, casse.
{$DEFINE DEBUG}
{$define Traces}
{$H+}

{$IFDEF DEBUG}
const
  Mode = 'debug';
{$ELSE}
const
  Mode = 'release';
{$ENDIF}

var
  n: Integer;
{$IFDEF ABSENT}
  jamais: Integer;
{$ENDIF}
  s: string;

begin
  showmessage('mode ' + Mode);
  {$IFDEF traces}
  showmessage('traces actives');
  {$ENDIF}
  {$ifdef ABSENT}
  showmessage('absent defini');
  {$else}
  showmessage('absent non defini');
  {$endif}
  {$IFNDEF ABSENT}
  showmessage('ifndef absent');
  {$ENDIF}
  {$IFNDEF DEBUG}
  showmessage('jamais');
  {$ELSE}
  showmessage('ifndef debug, branche else');
  {$ENDIF}
  {$UNDEF DEBUG}
  {$IFDEF DEBUG}
  showmessage('jamais');
  {$ELSE}
  showmessage('debug retire');
  {$ENDIF}
  // Imbrication : une partie écartée ignore ses DEFINE et ses blocs internes.
  {$IFDEF ABSENT}
    {$DEFINE CACHE}
    {$IFDEF TRACES}
    showmessage('jamais');
    {$ELSE}
    showmessage('jamais');
    {$ENDIF}
  {$ELSE}
    {$IFDEF TRACES}
    showmessage('imbrique : traces');
    {$ELSE}
    showmessage('jamais');
    {$ENDIF}
  {$ENDIF}
  {$IFDEF CACHE}
  showmessage('jamais');
  {$ELSE}
  showmessage('cache non defini');
  {$ENDIF}
  // Au milieu d'une expression.
  n := 1 {$IFDEF TRACES} + 10 {$ENDIF} {$IFDEF ABSENT} + 100 {$ENDIF};
  showmessage('expression ' + IntToStr(n));
  // Dans une chaîne ou un commentaire, ce n'est pas une directive.
  s := '{$DEFINE DANSCHAINE}';
  // {$DEFINE DANSCOMMENTAIRE}
  {$IFDEF DANSCHAINE}
  showmessage('jamais');
  {$ENDIF}
  {$IFDEF DANSCOMMENTAIRE}
  showmessage('jamais');
  {$ENDIF}
  showmessage(s);
  {$DEFINE TARDIF}
  {$IFDEF TARDIF}
  showmessage('defini en cours de route');
  {$ENDIF}
  {$IFDEF ABSENT}
  ceci est du texte quelconque := begin (, écarté
  {$ENDIF}
  showmessage('fin');
end.
