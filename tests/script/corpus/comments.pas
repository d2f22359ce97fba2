program comments;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Commentaires : //, { }, (* *), mélangés, dans les chaînes, sur plusieurs lignes.
var
  s: string; // commentaire en fin de ligne
  n: Integer; { accolades } (* parenthèses-étoiles *)
begin
  { commentaire
    sur plusieurs
    lignes }
  n := 1; (* et celui-ci
  aussi *) n := n + 1;
  showmessage('n=' + IntToStr(n));
  { un commentaire entre accolades ne s'imbrique pas : { ceci termine au premier }
  n := n * 10;
  showmessage('n=' + IntToStr(n));
  (* contient { des accolades } sans effet *)
  { contient (* des parenthèses *) sans effet }
  // contient { et (* sans ouvrir de commentaire
  n := n + 3;
  showmessage('n=' + IntToStr(n));
  s := 'pas un // commentaire';
  showmessage(s);
  s := '{ ni ceci }' + '(* ni cela *)';
  showmessage(s);
  n := 2 {+ 100} * (* 1000 + *) 3;
  showmessage('n=' + IntToStr(n));
  n := 7; //; n := 8;
  showmessage('n=' + IntToStr(n));
  {}(**)
  showmessage('fin'); // {
  // }
end.
