program caseinsensitive;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Identificateurs et mots réservés insensibles à la casse.
TYPE
  TCouleur = (ROUGE, Vert, bleu);

Var
  Compteur: INTEGER;
  Texte: STRING;
  c: tcouleur;

FUNCTION Doubler(N: integer): Integer;
BEGIN
  RESULT := n * 2;
END;

Procedure AJOUTER(VAR s: String; CONST t: string);
begin
  S := s + T;
end;

BEGIN
  COMPTEUR := 5;
  compteur := Compteur + 1;
  ShowMessage(IntToStr(compteur));
  SHOWMESSAGE(inttostr(DOUBLER(cOmPtEuR)));
  texte := 'a';
  ajouter(TEXTE, 'b');
  Ajouter(texte, 'C');
  showMessage(TEXTE);
  C := BLEU;
  IF c = Bleu THEN ShowMessage('bleu') ELSE showmessage('autre');
  FOR compteur := 1 TO 3 DO
    texte := TEXTE + IntToStr(Compteur);
  showmessage(texte);
  IF (compteur > 0) AND NOT (compteur = 10) OR False THEN showmessage('operateurs en majuscules');
  showmessage(IntToStr(17 DIV 5) + ' ' + IntToStr(17 MOD 5) + ' ' + IntToStr(1 SHL 4));
  showmessage(UPPERCASE('abc') + lowercase('DEF') + TrIm('  x  ') + COPY('abcdef', 2, 3));
  showmessage(IntToStr(LENGTH(texte)) + ' ' + IntToStr(ord('A')) + ' ' + CHR(66) + ' ' + intToStr(ORD(HIGH(c))));
  // La casse compte dans les chaînes et les caractères, pas dans les noms.
  IF 'abc' <> 'ABC' THEN ShowMessage('chaines differentes');
END.
