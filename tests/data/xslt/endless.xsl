<?xml version="1.0"?>
<!-- A template that calls itself forever. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/">
    <xsl:call-template name="again"><xsl:with-param name="n" select="0"/></xsl:call-template>
  </xsl:template>
  <xsl:template name="again">
    <xsl:param name="n"/>
    <x><xsl:call-template name="again"><xsl:with-param name="n" select="$n + 1"/></xsl:call-template></x>
  </xsl:template>
</xsl:stylesheet>
